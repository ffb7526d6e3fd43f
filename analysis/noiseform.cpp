#include "analysis/noiseform.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "board/program_port.h"
#include "converter/control_logic.h"
#include "ui/shared_run.h"

namespace {

// The rows of one results frame: caption, value, and the "Hex" unit caption where it has one.
struct RowBuilder {
    QGroupBox* frame;
    QGridLayout* grid;
    int next = 0;

    RowBuilder(QGroupBox* f) : frame(f), grid(new QGridLayout(f)) {}

    NoiseForm::Row add(const char* name, const QString& caption, bool hexUnit) {
        return add(name, caption, hexUnit ? QStringLiteral("Hex") : QString());
    }

    NoiseForm::Row add(const char* name, const QString& caption, const QString& unit) {
        auto* captionLabel = new QLabel(caption, frame);
        QLabel* value = kx::NamedLabel(name, QString(), frame);
        value->setMinimumWidth(120);
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(captionLabel, next, 0);
        grid->addWidget(value, next, 1);
        if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, frame), next, 2);
        ++next;
        return {value, unit.isEmpty() ? caption : caption + QStringLiteral(" (%1)").arg(unit)};
    }
};

}  // namespace

NoiseForm::NoiseForm(kx::Run run, kx::NoiseOpeners openers, QWidget* parent)
    : ScreenDialog(parent), openers_(std::move(openers)) {
    setObjectName(QStringLiteral("NoiseForm"));
    setWindowTitle(QStringLiteral("KX3105 Evaluation Software - Noise Analysis"));

    QLabel* heading = kx::HeadingLabel("Label1", QStringLiteral("Noise Analysis"), this);

    QGroupBox* conditions = kx::NamedFrame("Frame1", QStringLiteral("Conditions"), this);
    RowBuilder c(conditions);
    ref_ = c.add("RefLabel", QStringLiteral("Ref. Voltage"), false);
    lsb_ = c.add("LSBLabel", QStringLiteral("LSB Size"), false);
    range_ = c.add("RangeLabel", QStringLiteral("Input Range"), false);
    codes_ = c.add("CodesLabel", QStringLiteral("Codes Read"), false);

    QGroupBox* inCodes = kx::NamedFrame("Frame2", QStringLiteral("Results in LSB's"), this);
    RowBuilder l(inCodes);
    rmsLsb_ = l.add("RMSLabelLSB", QStringLiteral("RMS Noise"), true);
    average_ = l.add("AverageLabel", QStringLiteral("Average Code"), true);
    span_ = l.add("SpanLabel", QStringLiteral("Code Span"), true);
    max_ = l.add("MaxLabel", QStringLiteral("Max Code"), true);
    min_ = l.add("MinLabel", QStringLiteral("Min Code"), true);

    QGroupBox* inVolts = kx::NamedFrame("Frame3", QStringLiteral("Results"), this);
    RowBuilder v(inVolts);
    rms_ = v.add("RMSLabel", QStringLiteral("RMS Noise"), false);
    pkPk_ = v.add("PkPkLabel", QStringLiteral("Pk to Pk Noise"), false);
    avValue_ = v.add("AvValueLabel", QStringLiteral("Average Value"), false);

    // Our own addition: the figures data sheets quote, from the unrounded deviation, since the
    // rows above round the RMS to whole codes.
    QGroupBox* dataSheet = kx::NamedFrame("Frame4", QStringLiteral("Data-sheet figures"), this);
    RowBuilder d(dataSheet);
    exactRmsLsb_ = d.add("ExactRMSLabelLSB", QStringLiteral("RMS Noise"), QStringLiteral("codes"));
    exactRms_ = d.add("ExactRMSLabel", QStringLiteral("RMS Noise"), false);
    effectiveResolution_ =
        d.add("EffResLabel", QStringLiteral("Effective Resolution"), QStringLiteral("bits"));
    noiseFree_ =
        d.add("NoiseFreeLabel", QStringLiteral("Noise-Free Resolution"), QStringLiteral("bits"));
    // "Average Value" above scales the whole code below the mean; this is the mean itself.
    exactMean_ = d.add("ExactMeanLabel", QStringLiteral("Mean Value"), false);

    QPushButton* graph = kx::NamedButton("Command1", QStringLiteral("Plot &Graph"), this);
    QPushButton* histogram = kx::NamedButton("Command2", QStringLiteral("Plot &Histogram"), this);
    QPushButton* spectrum = kx::NamedButton("CommandSpectrum", QStringLiteral("Spectrum"), this);
    QPushButton* back = kx::NamedButton("Command3", QStringLiteral("B&ack"), this);

    auto* frames = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(conditions);
    left->addWidget(inVolts);
    left->addStretch();
    frames->addLayout(left);
    auto* right = new QVBoxLayout;
    right->addWidget(inCodes);
    right->addWidget(dataSheet);
    right->addStretch();
    frames->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(graph);
    buttons->addWidget(histogram);
    buttons->addWidget(spectrum);
    buttons->addStretch();
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(frames);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(back, &QPushButton::clicked, this, &QDialog::reject);

    // The ADC control register is read on opening, as ever. A run that knows the range and
    // polarity it was taken with (a capture loaded, the Live View's Keep) is scaled by its own:
    // the register may have changed since. Others (a read for analysis, a data file) take the
    // register as it is now. The reference is the run's, as last stored.
    const int32_t now = kx::control::ReadDirect(kx::ProgramLink());
    const kx::Scaling scaling =
        kx::Scaling::Shown(run.adcControl.value_or(now), run.referenceVolts);
    analysis_ = kx::noise::AnalyseRun(run.codes, scaling);
    kx::PublishScaling(scaling);
    kx::PublishExtremes(analysis_.stats.minCode, analysis_.stats.maxCode);
    analysed_ = {std::move(run), analysis_.stats.minCode, analysis_.stats.maxCode, scaling};
    ShowNoiseResults();

    const auto wire = [this](QPushButton* button, const auto& open) {
        kx::WireOpener(button, this,
                       open ? std::function<void(QWidget*)>(
                                  [this, open](QWidget* parent) { open(parent, analysed_); })
                            : std::function<void(QWidget*)>());
    };
    wire(graph, openers_.graph);
    wire(histogram, openers_.histogram);
    wire(spectrum, openers_.spectrum);
}

void NoiseForm::ShowNoiseResults() {
    const kx::noise::NoiseTexts& t = analysis_.texts;
    // The value alone means nothing to a listener: the name carries the row caption.
    const auto show = [](const Row& row, const std::string& text) {
        kx::ShowLabelValue(row.value, row.caption, QString::fromStdString(text));
    };
    show(ref_, t.ref);
    show(lsb_, t.lsb);
    show(range_, t.range);
    show(codes_, t.codes);
    show(rmsLsb_, t.rmsLsb);
    show(average_, t.average);
    show(span_, t.span);
    show(max_, t.max);
    show(min_, t.min);
    show(rms_, t.rms);
    show(pkPk_, t.pkPk);
    show(avValue_, t.avValue);

    const kx::noise::DataSheetTexts& d = analysis_.dataSheet;
    show(exactRmsLsb_, d.rmsCodes);
    show(exactRms_, d.rms);
    show(effectiveResolution_, d.effectiveResolution);
    show(noiseFree_, d.noiseFree);
    show(exactMean_, d.mean);
}
