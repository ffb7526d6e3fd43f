#include "regmap/registermapform.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTime>
#include <QVBoxLayout>

#include "board/program_port.h"
#include "core/hex.h"
#include "core/messages.h"
#include "multichannel/multi_state.h"
#include "regmap/configuration.h"

namespace {

// Hex as the register values beside it are written: upper case.
class HexSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override { return QString::number(value, 16).toUpper(); }
};

using kx::fields::Field;
using kx::fields::Kind;
using kx::fields::RegisterFields;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QString HexOf(const RegisterFields& reg, int32_t value) {
    return Q(kx::HexPadded(value, reg.info->width / 4));
}

// "CHOP (7)", "MD (2-0)", "- (7-6)"
QString FieldCaption(const Field& f) {
    const QString bits =
        f.high == f.low ? QString::number(f.low) : QStringLiteral("%1-%2").arg(f.high).arg(f.low);
    return QStringLiteral("%1 (%2)").arg(QLatin1String(f.name), bits);
}

QString FieldObjectName(const RegisterFields& reg, const Field& f) {
    const QString name = QLatin1String(f.name) == QLatin1String("-")
                             ? QStringLiteral("bits%1-%2").arg(f.high).arg(f.low)
                             : QLatin1String(f.name);
    return QStringLiteral("%1.%2").arg(QLatin1String(reg.key), name);
}

QString DefaultChoice(QWidget* parent, bool save) {
    if (save)
        return QFileDialog::getSaveFileName(
            parent, QStringLiteral("Save Configuration"), QStringLiteral("kx3105.json"),
            QStringLiteral("Configurations (*.json);;All files (*)"));
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Load Configuration"), QString(),
                                        QStringLiteral("Configurations (*.json);;All files (*)"));
}

}  // namespace

RegisterMapForm::RegisterMapForm(kx::multi::MultiChannelState* channels, QWidget* parent,
                                 FileChooser chooser)
    : ScreenDialog(parent), channels_(channels), chooser_(std::move(chooser)) {
    if (!chooser_) chooser_ = DefaultChoice;
    setObjectName(QStringLiteral("RegisterMapForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Register Map"));

    const auto regs = kx::fields::Registers();
    valueLabels_.resize(regs.size());
    // Three columns: the registers that set a conversion, the pins and the calibration, and the
    // read-only status.
    const std::vector<std::vector<const RegisterInfo*>> columns{
        {&RegisterMap::Mode, &RegisterMap::AdcControl, &RegisterMap::Filter},
        {&RegisterMap::IoControl, &RegisterMap::ZeroScale, &RegisterMap::FullScale},
        {&RegisterMap::Status}};
    auto* frames = new QHBoxLayout;
    for (const auto& column : columns) {
        auto* stack = new QVBoxLayout;
        for (const RegisterInfo* info : column) {
            const RegisterFields& reg = *kx::fields::FieldsOf(*info);
            const QString title = QStringLiteral("%1 - address %2, %3 bits")
                                      .arg(QLatin1String(info->name))
                                      .arg(info->address)
                                      .arg(info->width);
            auto* frame = new QGroupBox(title, this);
            frame->setObjectName(QLatin1String(reg.key));
            BuildFrame(reg, frame);
            stack->addWidget(frame);
        }
        stack->addStretch();
        frames->addLayout(stack);
    }

    auto* readAll = kx::NamedButton("ReadAllButton", QStringLiteral("&Read All"), this);
    auto* write = kx::NamedButton("WriteChangedButton", QStringLiteral("&Write Changed"), this);
    auto* save = kx::NamedButton("SaveButton", QStringLiteral("&Save Configuration..."), this);
    auto* load = kx::NamedButton("LoadButton", QStringLiteral("&Load Configuration..."), this);
    auto* back = kx::NamedButton("BackButton", QStringLiteral("B&ack"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {readAll, write, save, load})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(back);

    status_ = kx::NamedLabel("StatusLine", QString(), this);
    status_->setAccessibleName(QStringLiteral("Status"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(readAll, &QPushButton::clicked, this, &RegisterMapForm::ReadAll_Click);
    connect(write, &QPushButton::clicked, this, &RegisterMapForm::WriteChanged_Click);
    connect(save, &QPushButton::clicked, this, &RegisterMapForm::Save_Click);
    connect(load, &QPushButton::clicked, this, &RegisterMapForm::Load_Click);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);

    // As every register screen does on opening: the registers as the converter holds them.
    ReadAll_Click();
}

void RegisterMapForm::BuildFrame(const RegisterFields& reg, QGroupBox* frame) {
    const size_t index = kx::fields::IndexOf(reg);
    auto* grid = new QGridLayout(frame);
    grid->setVerticalSpacing(3);
    auto* valueCaption = new QLabel(QStringLiteral("Value (hex)"), frame);
    auto* value = new QLabel(frame);
    value->setObjectName(QStringLiteral("%1.value").arg(QLatin1String(reg.key)));
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    valueCaption->setBuddy(value);
    valueLabels_[index] = value;
    grid->addWidget(valueCaption, 0, 0);
    grid->addWidget(value, 0, 1, 1, 3);

    int line = 1;
    for (const Field& field : reg.fields) {
        FieldRow row;
        row.reg = index;
        row.field = &field;
        row.name = new QLabel(FieldCaption(field), frame);
        row.name->setToolTip(QLatin1String(field.about));
        grid->addWidget(row.name, line, 0);
        const QString objectName = FieldObjectName(reg, field);
        if (field.kind == Kind::Shown || !reg.writable()) {
            row.value = new QLabel(frame);
            row.value->setObjectName(objectName);
            grid->addWidget(row.value, line, 1, 1, 2);
        } else if (field.kind == Kind::Choice) {
            row.choice = new QComboBox(frame);
            row.choice->setObjectName(objectName);
            for (int v = 0; v <= field.largest(); ++v)
                row.choice->addItem(QString());
            if (reg.info == &RegisterMap::Mode &&
                QLatin1String(field.name) == QLatin1String("MD")) {
                // A calibration starts from the mode register screen, which waits for its end.
                auto* model = qobject_cast<QStandardItemModel*>(row.choice->model());
                for (int v = 4; v <= field.largest(); ++v)
                    model->item(v)->setEnabled(false);
            }
            row.name->setBuddy(row.choice);
            grid->addWidget(row.choice, line, 1, 1, 2);
        } else {
            row.number = new HexSpinBox(frame);
            row.number->setObjectName(objectName);
            row.number->setDisplayIntegerBase(16);
            row.number->setRange(0, field.largest());
            row.number->setPrefix(QString());
            row.number->setMinimumWidth(90);
            row.name->setBuddy(row.number);
            grid->addWidget(row.number, line, 1);
            row.meaning = new QLabel(frame);
            row.meaning->setObjectName(objectName + QStringLiteral(".meaning"));
            grid->addWidget(row.meaning, line, 2);
        }
        row.powerOn = new QLabel(frame);
        row.powerOn->setObjectName(objectName + QStringLiteral(".powerOn"));
        grid->addWidget(row.powerOn, line, 3);
        rows_.push_back(row);
        ++line;
    }
    grid->setColumnStretch(2, 1);
    grid->setColumnMinimumWidth(3, 110);

    // Connected once every row of the frame exists, by index: rows_ may still grow.
    for (size_t i = rows_.size() - reg.fields.size(); i < rows_.size(); ++i) {
        const FieldRow& row = rows_[i];
        if (row.choice)
            connect(row.choice, &QComboBox::currentIndexChanged, this,
                    [this, i](int v) { FieldEdited(rows_[i], v); });
        if (row.number)
            connect(row.number, &QSpinBox::valueChanged, this,
                    [this, i](int v) { FieldEdited(rows_[i], v); });
    }
}

void RegisterMapForm::FieldEdited(const FieldRow& row, int value) {
    if (showing_ || value < 0) return;
    edited_[row.reg] = kx::fields::Set(*row.field, edited_[row.reg], value);
    // Other fields' meanings follow this one (CHCON names channels, UB the ranges, CHOP the rate).
    ShowValues();
}

void RegisterMapForm::ShowValues() {
    showing_ = true;
    for (size_t i = 0; i < edited_.size(); ++i)
        ShowRegister(i);
    showing_ = false;
}

void RegisterMapForm::ShowRegister(size_t index) {
    const RegisterFields& reg = kx::fields::Registers()[index];
    const int32_t value = edited_[index];
    const kx::fields::Context context{
        edited_[kx::fields::IndexOf(*kx::fields::FieldsOf(RegisterMap::Mode))],
        edited_[kx::fields::IndexOf(*kx::fields::FieldsOf(RegisterMap::AdcControl))]};
    const QString registerName = QLatin1String(reg.info->name);
    QString valueText = HexOf(reg, value);
    if (value != shown_[index])
        valueText += QStringLiteral("  edited, reads %1").arg(HexOf(reg, shown_[index]));
    valueLabels_[index]->setText(valueText);
    valueLabels_[index]->setAccessibleName(registerName + QStringLiteral(" value ") + valueText);

    for (FieldRow& row : rows_) {
        if (row.reg != index) continue;
        const Field& f = *row.field;
        const int32_t v = kx::fields::Get(f, value);
        const int32_t powerOn = kx::fields::Get(f, reg.powerOn);
        const QString meaning = Q(kx::fields::Meaning(reg, f, v, context));
        const bool marked = v != powerOn && reg.writable();
        row.powerOn->setText(marked ? QStringLiteral("power-on: %1").arg(Q(kx::Hex(powerOn)))
                                    : QString());
        // An empty label would be spoken by its frame's title.
        row.powerOn->setAccessibleName(
            marked ? row.powerOn->text()
                   : QStringLiteral("%1 as at power-on").arg(FieldCaption(f)));
        QFont font = row.name->font();
        font.setBold(marked);
        row.name->setFont(font);
        QString spoken =
            QStringLiteral("%1 %2: %3").arg(registerName, FieldCaption(f), Q(kx::Hex(v)));
        if (!meaning.isEmpty()) spoken += QStringLiteral(", ") + meaning;
        if (marked) spoken += QStringLiteral(", changed from power-on ") + Q(kx::Hex(powerOn));
        if (row.choice) {
            for (int item = 0; item < row.choice->count(); ++item)
                row.choice->setItemText(
                    item, QStringLiteral("%1: %2").arg(
                              Q(kx::Hex(item)), Q(kx::fields::Meaning(reg, f, item, context))));
            row.choice->setCurrentIndex(v);
            row.choice->setAccessibleName(spoken);
        } else if (row.number) {
            row.number->setValue(v);
            row.meaning->setText(meaning);
            row.number->setAccessibleName(spoken);
        } else {
            row.value->setText(meaning.isEmpty()
                                   ? Q(kx::Hex(v))
                                   : QStringLiteral("%1  %2").arg(Q(kx::Hex(v)), meaning));
            row.value->setAccessibleName(spoken);
        }
    }
}

void RegisterMapForm::ReadAll_Click() {
    shown_ = kx::fields::ReadAll(kx::ProgramLink());
    edited_ = shown_;
    ShowValues();
    status_->setText(QStringLiteral("Every register read at %1")
                         .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
}

void RegisterMapForm::WriteChanged_Click() {
    if (const auto why = kx::fields::Refusal(edited_)) {
        kx::ShowMessage(*why, kx::Icon::Warning);
        return;
    }
    const auto plan = kx::fields::PlanWrites(shown_, edited_);
    if (plan.empty()) {
        status_->setText(QStringLiteral("No register edited: nothing written"));
        return;
    }
    const auto results = kx::fields::MakeWrites(kx::ProgramLink(), plan);
    QStringList written;
    for (const kx::fields::WriteResult& r : results) {
        const size_t i = kx::fields::IndexOf(*r.reg);
        // The display shows what the converter holds: the read-back, taken or not.
        shown_[i] = r.readBack;
        edited_[i] = r.readBack;
        if (!written.contains(QLatin1String(r.reg->key))) written << QLatin1String(r.reg->key);
    }
    ShowValues();
    const bool ok = results.empty() || results.back().ok;
    status_->setText((ok ? QStringLiteral("Written and read back: ")
                         : QStringLiteral("Stopped at a register that did not take: ")) +
                     written.join(QStringLiteral(", ")));
}

void RegisterMapForm::Save_Click() {
    const QString path = chooser_(this, true);
    if (path.isEmpty()) return;
    kx::multi::MultiChannelState fresh;
    const auto config = kx::config::FromBoard(kx::ProgramLink(), channels_ ? *channels_ : fresh);
    const std::string why = kx::config::SaveFile(path.toStdString(), config);
    if (!why.empty()) {
        kx::ShowMessage(why, kx::Icon::Warning);
        return;
    }
    const bool pending = edited_ != shown_;
    status_->setText(
        QStringLiteral("Saved %1%2")
            .arg(path, pending
                           ? QStringLiteral(" (the registers as the board holds them, without the "
                                            "edits not yet written)")
                           : QString()));
}

void RegisterMapForm::Load_Click() {
    const QString path = chooser_(this, false);
    if (path.isEmpty()) return;
    std::string why;
    const auto config = kx::config::LoadFile(path.toStdString(), why);
    if (!config) {
        // A refused file writes nothing.
        kx::ShowMessage(why, kx::Icon::Warning);
        status_->setText(QStringLiteral("Refused %1: nothing written").arg(path));
        return;
    }
    const bool ok = kx::config::Apply(kx::ProgramLink(), *config, channels_);
    ReadAll_Click();
    status_->setText(
        ok ? QStringLiteral("Loaded %1").arg(path)
           : QStringLiteral("Loading %1 stopped at a register that did not take").arg(path));
}
