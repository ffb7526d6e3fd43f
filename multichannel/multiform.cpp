#include "multichannel/multiform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "board/program_port.h"
#include "core/globals.h"
#include "core/messages.h"
#include "ui/board_runner.h"

#include "multichannel/multi_calibration.h"
#include "multichannel/multi_read.h"
#include "multichannel/row_texts.h"

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

// The read's view of the screen, on the worker: the rows from the screen's copy, captions and
// codes handed to the window's thread.
class MultiForm::Reader final : public kx::multi::ReadView {
public:
    Reader(MultiForm* form, kx::BoardWork& work) : form_(form), work_(work) {}

    kx::multi::RowControls Row(int index) override { return form_->RowNow(index); }
    void ShowStopCaption(const std::string& text) override {
        work_.report([f = form_, t = Q(text)] { f->stopReadingText_->setText(t); });
    }
    bool GoOn() override { return !work_.stopRequested(); }
    void ShowCode(int index, const std::string& code) override {
        work_.report([f = form_, index, t = Q(code)] { f->rows_[At(index)].data->setText(t); });
    }
    void ShowConversion(int index, int32_t code, int32_t adcControl) override {
        work_.report([f = form_, index, code, adcControl] {
            const MultiForm::Row& r = f->rows_[At(index)];
            r.volts->setText(Q(kx::multi::CodeVoltsText(code, adcControl, ReferenceVoltage)));
            r.volts->setAccessibleName(Q(kx::multi::RowCaption(index)) + QStringLiteral(" Input ") +
                                       r.volts->text());
        });
    }

private:
    MultiForm* form_;
    kx::BoardWork& work_;
};

// The calibration's view: the check states as they were when it started.
class MultiForm::Calibrator final : public kx::multi::CalibrationView {
public:
    Calibrator(MultiForm* form, kx::BoardWork& work, kx::multi::CheckStates checked)
        : form_(form), work_(work), checked_(checked) {}

    bool Checked(int index) override { return checked_[At(index)]; }
    void ShowCalCaption(const std::string& text) override {
        work_.report([f = form_, t = Q(text)] { f->calLabel_->setText(t); });
    }
    void ShowStopCaption(const std::string& text) override {
        work_.report([f = form_, t = Q(text)] { f->stopReadingText_->setText(t); });
    }

private:
    MultiForm* form_;
    kx::BoardWork& work_;
    kx::multi::CheckStates checked_;
};

MultiForm::MultiForm(kx::multi::MultiChannelState& state, QWidget* parent)
    : ScreenDialog(parent), state_(state) {
    setObjectName(QStringLiteral("MultiForm"));
    setWindowTitle(QStringLiteral("Multi - Channel Read"));

    QGroupBox* table = kx::NamedFrame("ChannelFrame", QString(), this);
    table->setAccessibleName(QStringLiteral("Channels"));
    auto* grid = new QGridLayout(table);
    grid->setHorizontalSpacing(10);
    // Our own columns beside the old ones: the filter word's rate and the code in volts.
    const char* columnNames[] = {"Label2", "Label3", "Label4",      "RateHeading",
                                 "Label5", "Label6", "VoltsHeading"};
    const QString columnTexts[] = {QStringLiteral("Select Channels"),
                                   QStringLiteral("Range"),
                                   QStringLiteral("Filter Word HEX"),
                                   QStringLiteral("Update Rate"),
                                   QStringLiteral("Polarity"),
                                   QStringLiteral("Data Code HEX"),
                                   QStringLiteral("Input")};
    for (int c = 0; c < 7; ++c) {
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
    grid->addWidget(pseudo, 1, 0, 1, 7);
    grid->addWidget(fully, 10, 0, 1, 7);

    for (int i = 0; i < ChannelCount; ++i) {
        BuildRow(i, table);
        const Row& r = rows_[At(i)];
        const int line = i < 8 ? 2 + i : 3 + i;
        grid->addWidget(r.check, line, 0);
        grid->addWidget(r.range, line, 1);
        grid->addWidget(r.filter, line, 2);
        grid->addWidget(r.rate, line, 3);
        grid->addWidget(r.polarity, line, 4);
        grid->addWidget(r.data, line, 5);
        grid->addWidget(r.volts, line, 6);
    }

    stopReadingText_ = kx::NamedLabel("StopReadingText", QString(), this);
    calLabel_ = kx::NamedLabel("CalLabel", QString(), this);
    for (QLabel* notice : {stopReadingText_, calLabel_}) {
        notice->setMinimumWidth(200);
        notice->setStyleSheet(QStringLiteral("font-weight: bold; color: #8B0000"));
    }
    // Outside the layout and the visible area, and no Tab stop: it only holds the keyboard
    // during a read, and keeps the keys typed into it.
    text1_ = new QLineEdit(QStringLiteral("Text1"), this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAccessibleName(QStringLiteral("Press any key to stop reading"));
    text1_->setGeometry(-400, -400, 48, 20);
    text1_->setFocusPolicy(Qt::NoFocus);
    text1_->installEventFilter(this);

    read_ = kx::NamedButton("Command1", QStringLiteral("Read Data for Display"), this);
    calibrate_ = kx::NamedButton("Command3", QStringLiteral("Calibrate Channels"), this);
    stop_ = kx::NamedButton("StopButton", QStringLiteral("&Stop"), this);
    stop_->setEnabled(false);
    QPushButton* back = kx::NamedButton("Command2", QStringLiteral("B&ack"), this);
    runner_ = new kx::BoardRunner(this);

    auto* notices = new QHBoxLayout;
    notices->addWidget(stopReadingText_, 1);
    notices->addWidget(calLabel_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(read_);
    buttons->addWidget(stop_);
    buttons->addWidget(calibrate_);
    buttons->addStretch(1);
    buttons->addWidget(back);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(notices);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(read_, &QPushButton::clicked, this, &MultiForm::Command1_Click);
    connect(calibrate_, &QPushButton::clicked, this, &MultiForm::Command3_Click);
    connect(stop_, &QPushButton::clicked, this, &MultiForm::Stop_Click);
    connect(back, &QPushButton::clicked, this, &MultiForm::reject);

    // Opening: the captions are already empty and the window centres itself when shown.
    state_.Open(kx::ProgramLink());
    for (Row& r : rows_)
        r.filter->setText(QString::fromLatin1(kx::multi::DefaultFilterText));
    RestoreChannelSettings();
    for (int i = 0; i < ChannelCount; ++i) {
        const Row& r = rows_[At(i)];
        SnapshotRow(i);
        ShowRate(i);
        const auto follow = [this, i] { SnapshotRow(i); };
        connect(r.check, &QCheckBox::toggled, this, follow);
        connect(r.range, &QComboBox::currentTextChanged, this, follow);
        connect(r.polarity, &QComboBox::currentTextChanged, this, follow);
        connect(r.filter, &QLineEdit::textChanged, this, follow);
        connect(r.filter, &QLineEdit::textChanged, this, [this, i] { ShowRate(i); });
    }
}

MultiForm::~MultiForm() {
    // The worker reads this screen's rows: it ends before they go.
    runner_->stopAndWait();
}

bool MultiForm::reading() const {
    return runner_->running();
}

void MultiForm::SnapshotRow(int index) {
    const Row& r = rows_[At(index)];
    kx::multi::RowControls now{r.check->isChecked(), r.range->currentText().toStdString(),
                               r.polarity->currentText().toStdString(),
                               r.filter->text().toStdString()};
    std::lock_guard lock(rowsMutex_);
    rowsNow_[At(index)] = std::move(now);
}

kx::multi::RowControls MultiForm::RowNow(int index) {
    std::lock_guard lock(rowsMutex_);
    return rowsNow_[At(index)];
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

    r.rate = new QLabel(parent);
    r.rate->setObjectName(name("Rate"));
    r.rate->setMinimumWidth(72);

    r.volts = new QLineEdit(parent);
    r.volts->setObjectName(name("Volts"));
    r.volts->setAccessibleName(caption + QStringLiteral(" Input"));
    r.volts->setReadOnly(true);
    r.volts->setFixedWidth(124);
}

void MultiForm::ShowRate(int index) {
    const Row& r = rows_[At(index)];
    const QString rate =
        Q(kx::multi::FilterRateText(r.filter->text().toStdString(), state_.MinFilterWord));
    r.rate->setText(rate);
    r.rate->setAccessibleName(Q(kx::multi::RowCaption(index)) + QStringLiteral(" Update Rate ") +
                              (rate.isEmpty() ? QStringLiteral("none") : rate));
}

void MultiForm::ExplainGreyedChecks() {
    const kx::multi::CheckStates checked = CheckedNow();
    for (int i = 0; i < ChannelCount; ++i) {
        QCheckBox* check = rows_[At(i)].check;
        check->setToolTip(check->isEnabled() ? QString()
                                             : Q(kx::multi::CheckGreyedReason(i, checked)));
    }
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
        for (const auto& item : kx::multi::RangeItems())
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
    ExplainGreyedChecks();
}

void MultiForm::EnableRowControls(int index, bool enabled) {
    const Row& r = rows_[At(index)];
    const QString why = enabled ? QString() : Q(kx::multi::ControlsGreyedReason(index));
    for (QWidget* w :
         std::initializer_list<QWidget*>{r.range, r.filter, r.polarity, r.data, r.rate, r.volts}) {
        w->setEnabled(enabled);
        w->setToolTip(why);
    }
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
    ExplainGreyedChecks();
    state_.CheckClicked(index, checked);
}

void MultiForm::SetBusy(bool on, bool read) {
    read_->setEnabled(!on);
    calibrate_->setEnabled(!on);
    stop_->setEnabled(on && read);
    readRunning_ = on && read;
    if (on && read) text1_->setFocus();
    if (!on && text1_->hasFocus()) read_->setFocus();
}

void MultiForm::Command1_Click() {
    if (reading()) return;
    // A typed range that names no item is refused before anything is written.
    for (int i = 0; i < ChannelCount; ++i) {
        const kx::multi::RowControls row = RowNow(i);
        if (row.checked && !kx::multi::TypedRangeCode(row.range)) {
            kx::ShowMessage(kx::multi::RangeRefusal(i, row.range), kx::Icon::Warning);
            return;
        }
    }
    SetBusy(true, true);
    runner_->start(
        [this](kx::BoardWork& work) {
            Reader reader(this, work);
            kx::multi::RunRead(state_, reader);
        },
        [this](std::vector<kx::Message> messages, bool closing) {
            stopReadingText_->clear();
            SetBusy(false, true);
            if (!closing) kx::ShowMessages(messages);
        });
}

void MultiForm::Command3_Click() {
    if (reading()) return;  // refused: the read is using the converter
    SetBusy(true, false);
    runner_->start(
        [this, checked = CheckedNow()](kx::BoardWork& work) {
            Calibrator calibrator(this, work, checked);
            kx::multi::RunCalibration(state_, calibrator);
        },
        [this](std::vector<kx::Message> messages, bool closing) {
            calLabel_->clear();
            SetBusy(false, false);
            if (!closing) kx::ShowMessages(messages);
        });
}

void MultiForm::Stop_Click() {
    runner_->requestStop();
}

void MultiForm::reject() {
    runner_->stopAndWait();
    QDialog::reject();
}

void MultiForm::closeEvent(QCloseEvent* event) {
    runner_->stopAndWait();
    ScreenDialog::closeEvent(event);
}

bool MultiForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return ScreenDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == text1_) {
        // Escape included: it stops the read and leaves the screen open.
        if (!key->text().isEmpty()) {
            Stop_Click();
            return true;
        }
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
    // During a read every key stops it, Escape too, and the screen stays with its codes. A
    // calibration is not stopped by a key: Escape closes the screen, which stops it.
    if (readRunning_ && !event->text().isEmpty()) {
        Stop_Click();
        event->accept();
        return;
    }
    // Enter in a list's edit field is no command to press a button.
    if (IsEnter(event)) {
        event->accept();
        return;
    }
    ScreenDialog::keyPressEvent(event);
}
