#include "multichannel/multiform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "multichannel/multi_calibration.h"
#include "multichannel/multi_read.h"

using kx::multi::ChannelCount;
using kx::multi::ChannelTable;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

size_t At(int index) {
    return static_cast<size_t>(index);
}

bool IsEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

// The read's view of the screen. It holds the screen weakly: the event-loop turn runs every
// handler, and the read must never go on once the screen is going.
class MultiForm::Reader final : public kx::multi::ReadView {
public:
    explicit Reader(MultiForm* form) : form_(form) {}

    kx::multi::RowControls Row(int index) override {
        if (!form_) return {};
        const MultiForm::Row& r = form_->rows_[At(index)];
        return {r.check->isChecked(), r.range->currentText().toStdString(),
                r.polarity->currentText().toStdString(), r.filter->text().toStdString()};
    }
    void ShowStopCaption(const std::string& text) override {
        if (form_) form_->stopReadingText_->setText(Q(text));
    }
    bool TurnEventLoop() override {
        if (!form_) return false;
        form_->text1_->setFocus();
        QCoreApplication::processEvents();
        return form_ && !form_->closeRequested_;
    }
    void ShowCode(int index, const std::string& code) override {
        if (!form_) return;
        QLineEdit* box = form_->rows_[At(index)].data;
        box->setText(Q(code));
        box->repaint();
    }

private:
    QPointer<MultiForm> form_;
};

// The calibration gives the event loop no turn, so the label is repainted by hand.
class MultiForm::Calibrator final : public kx::multi::CalibrationView {
public:
    explicit Calibrator(MultiForm* form) : form_(form) {}

    bool Checked(int index) override { return form_->rows_[At(index)].check->isChecked(); }
    void ShowCalCaption(const std::string& text) override {
        form_->calLabel_->setText(Q(text));
        form_->calLabel_->repaint();
    }
    void ShowStopCaption(const std::string& text) override {
        form_->stopReadingText_->setText(Q(text));
    }

private:
    MultiForm* form_;
};

MultiForm::MultiForm(kx::multi::MultiChannelState& state, QWidget* parent)
    : ScreenDialog(parent), state_(state) {
    setObjectName(QStringLiteral("MultiForm"));
    setWindowTitle(QStringLiteral("Multi - Channel Read"));

    QGroupBox* table = kx::NamedFrame("ChannelFrame", QString(), this);
    table->setAccessibleName(QStringLiteral("Channels"));
    auto* grid = new QGridLayout(table);
    grid->setHorizontalSpacing(10);
    const char* columnNames[] = {"Label2", "Label3", "Label4", "Label5", "Label6"};
    const QString columnTexts[] = {QStringLiteral("Select Channels"), QStringLiteral("Range"),
                                   QStringLiteral("Filter Word HEX"), QStringLiteral("Polarity"),
                                   QStringLiteral("Data Code HEX")};
    for (int c = 0; c < 5; ++c) {
        QLabel* heading = kx::NamedLabel(columnNames[c], columnTexts[c], table);
        heading->setStyleSheet(QStringLiteral("font-weight: bold"));
        grid->addWidget(heading, 0, c);
    }
    QLabel* pseudo =
        kx::NamedLabel("Label1", QStringLiteral("Pseudo - Differential Channels"), table);
    QLabel* fully =
        kx::NamedLabel("Label7", QStringLiteral("Fully - Differential Channels"), table);
    for (QLabel* group : {pseudo, fully})
        group->setStyleSheet(QStringLiteral("font-style: italic; padding-top: 6px"));
    grid->addWidget(pseudo, 1, 0, 1, 5);
    grid->addWidget(fully, 10, 0, 1, 5);

    for (int i = 0; i < ChannelCount; ++i) {
        BuildRow(i, table);
        const Row& r = rows_[At(i)];
        const int line = i < 8 ? 2 + i : 3 + i;
        grid->addWidget(r.check, line, 0);
        grid->addWidget(r.range, line, 1);
        grid->addWidget(r.filter, line, 2);
        grid->addWidget(r.polarity, line, 3);
        grid->addWidget(r.data, line, 4);
    }

    stopReadingText_ = kx::NamedLabel("StopReadingText", QString(), this);
    calLabel_ = kx::NamedLabel("CalLabel", QString(), this);
    for (QLabel* notice : {stopReadingText_, calLabel_}) {
        notice->setMinimumWidth(200);
        notice->setStyleSheet(QStringLiteral("font-weight: bold; color: #8B0000"));
    }
    text1_ = new QLineEdit(QStringLiteral("Text1"), this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("Press any key to stop reading"));
    text1_->setFixedWidth(48);
    text1_->installEventFilter(this);

    QPushButton* read = kx::NamedButton("Command1", QStringLiteral("Read Data for Display"), this);
    QPushButton* calibrate =
        kx::NamedButton("Command3", QStringLiteral("Calibrate Channels"), this);
    QPushButton* back = kx::NamedButton("Command2", QStringLiteral("B&ack"), this);

    auto* notices = new QHBoxLayout;
    notices->addWidget(stopReadingText_, 1);
    notices->addWidget(calLabel_, 1);
    notices->addWidget(text1_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(read);
    buttons->addWidget(calibrate);
    buttons->addStretch(1);
    buttons->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(notices);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(read, &QPushButton::clicked, this, &MultiForm::Command1_Click);
    connect(calibrate, &QPushButton::clicked, this, &MultiForm::Command3_Click);
    connect(back, &QPushButton::clicked, this, &MultiForm::reject);

    // Opening: the captions are already empty and the window centres itself when shown.
    state_.Open();
    for (Row& r : rows_)
        r.filter->setText(QString::fromLatin1(kx::multi::DefaultFilterText));
    RestoreChannelSettings();
}

void MultiForm::BuildRow(int index, QWidget* parent) {
    const kx::multi::ChannelRow& entry = ChannelTable[At(index)];
    const QString caption = Q(kx::multi::RowCaption(index));
    Row& r = rows_[At(index)];
    const auto name = [&entry](const char* kind) -> QString {
        return QLatin1String(kind) + QLatin1String(entry.name);
    };

    r.check = new QCheckBox(caption, parent);
    r.check->setObjectName(name("Check"));
    r.check->setAccessibleName(caption);
    connect(r.check, &QCheckBox::clicked, this,
            [this, index](bool checked) { Check_Click(index, checked); });

    r.range = ChoiceList(
        name("Range"), caption + QStringLiteral(" Range"), parent,
        [this, index](const QString& item) { state_.RangeChosen(index, item.toStdString()); });
    r.range->setMinimumWidth(96);

    r.filter = new QLineEdit(parent);
    r.filter->setObjectName(name("Filter"));
    r.filter->setAccessibleName(caption + QStringLiteral(" Filter Word HEX"));
    r.filter->setFixedWidth(72);
    r.filter->installEventFilter(this);

    r.polarity = ChoiceList(
        name("Pol"), caption + QStringLiteral(" Polarity"), parent,
        [this, index](const QString& item) { state_.PolarityChosen(index, item.toStdString()); });
    r.polarity->setMinimumWidth(96);

    r.data = new QLineEdit(parent);
    r.data->setObjectName(name("Data"));
    r.data->setAccessibleName(caption + QStringLiteral(" Data Code HEX"));
    r.data->setReadOnly(true);
    r.data->setFixedWidth(96);
}

QComboBox* MultiForm::ChoiceList(const QString& name, const QString& accessibleName,
                                 QWidget* parent, std::function<void(const QString&)> chosen) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    // Text typed into the edit field is used by a read but is not a choice. The combo box turns
    // finished typing that matches an item into an activation, so that moment is bracketed: the
    // first handler of editingFinished runs before the combo box's own, the last after it.
    auto* edit = new QLineEdit(box);
    auto typing = std::make_shared<bool>(false);
    connect(edit, &QLineEdit::editingFinished, box, [typing] { *typing = true; });
    box->setLineEdit(edit);
    connect(edit, &QLineEdit::editingFinished, box, [typing] { *typing = false; });
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    // On Linux a combo box is spoken by its text and its label: the row's label is a buddy the
    // eye need not see, since the column heading and the check box say it already.
    edit->setAccessibleName(accessibleName);
    auto* label = new QLabel(accessibleName, parent);
    label->setBuddy(box);
    label->hide();
    connect(box, &QComboBox::activated, this, [box, typing, chosen = std::move(chosen)](int i) {
        if (!*typing) chosen(box->itemText(i));
    });
    return box;
}

void MultiForm::RestoreChannelSettings() {
    for (int i = 0; i < ChannelCount; ++i) {
        QComboBox* range = rows_[At(i)].range;
        for (const auto& item : kx::multi::RangeItems)
            range->addItem(QString::fromLatin1(item.text));
        range->setCurrentIndex(state_.RestoredRangePosition(i) - 1);
    }
    for (int i = 0; i < ChannelCount; ++i)
        rows_[At(i)].check->setChecked(state_.RestoredChecked(i));
    for (int i = 0; i < ChannelCount; ++i)
        rows_[At(i)].filter->setText(Q(state_.RestoredFilterText(i)));
    for (int i = 0; i < ChannelCount; ++i) {
        QComboBox* polarity = rows_[At(i)].polarity;
        polarity->addItem(QString::fromLatin1(kx::multi::BipolarItem));
        polarity->addItem(QString::fromLatin1(kx::multi::UnipolarItem));
        polarity->setCurrentIndex(state_.RestoredUnipolar(i) ? 1 : 0);
    }
    const kx::multi::CheckStates checked = CheckedNow();
    const kx::multi::CheckStates enabled = kx::multi::RestoredCheckEnables(checked);
    for (int i = 0; i < ChannelCount; ++i) {
        rows_[At(i)].check->setEnabled(enabled[At(i)]);
        EnableRowControls(i, checked[At(i)]);
    }
}

void MultiForm::EnableRowControls(int index, bool enabled) {
    const Row& r = rows_[At(index)];
    for (QWidget* w : std::initializer_list<QWidget*>{r.range, r.filter, r.polarity, r.data})
        w->setEnabled(enabled);
}

kx::multi::CheckStates MultiForm::CheckedNow() const {
    kx::multi::CheckStates checked{};
    for (int i = 0; i < ChannelCount; ++i)
        checked[At(i)] = rows_[At(i)].check->isChecked();
    return checked;
}

void MultiForm::Check_Click(int index, bool checked) {
    kx::multi::CheckStates enabled{};
    for (int i = 0; i < ChannelCount; ++i)
        enabled[At(i)] = rows_[At(i)].check->isEnabled();
    kx::multi::ApplyCheckClick(index, CheckedNow(), enabled);
    for (int i = 0; i < ChannelCount; ++i)
        rows_[At(i)].check->setEnabled(enabled[At(i)]);
    EnableRowControls(index, checked);
    state_.CheckClicked(index, checked);
}

void MultiForm::Command1_Click() {
    // The buttons stay enabled during a read; a second read may not start inside the first.
    if (reading_) return;
    reading_ = true;
    closeRequested_ = false;
    QPointer<MultiForm> self(this);
    Reader reader(this);
    kx::multi::RunRead(state_, reader);
    if (!self) return;
    reading_ = false;
    if (closeRequested_) {
        closeRequested_ = false;
        QDialog::reject();
    }
}

void MultiForm::Command3_Click() {
    if (reading_) return;  // refused: the read is using the converter
    Calibrator calibrator(this);
    kx::multi::RunCalibration(state_, calibrator);
}

void MultiForm::reject() {
    if (reading_) {
        // The read sees this after its event-loop turn, ends, and then closes the screen.
        closeRequested_ = true;
        state_.KeepReading = 0;
        return;
    }
    QDialog::reject();
}

bool MultiForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return ScreenDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == text1_) {
        if (!key->text().isEmpty()) state_.KeepReading = 0;
        return IsEnter(key);  // Enter types nothing here and must not reach a button
    }
    if (IsEnter(key)) {
        for (int i = 0; i < ChannelCount; ++i) {
            if (watched == rows_[At(i)].filter) {
                state_.FilterConfirmed(i, rows_[At(i)].filter->text().toStdString());
                return true;
            }
        }
    }
    return ScreenDialog::eventFilter(watched, event);
}

void MultiForm::keyPressEvent(QKeyEvent* event) {
    // Enter in a list's edit field is no command to press a button.
    if (IsEnter(event)) {
        event->accept();
        return;
    }
    ScreenDialog::keyPressEvent(event);
}
