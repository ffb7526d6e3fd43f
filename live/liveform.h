#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "acquisition/capture.h"
#include "acquisition/run.h"
#include "live/live_feed.h"
#include "ui/screen_util.h"

class QComboBox;
class QCustomPlot;
class QLabel;
class QPushButton;
class QTimer;

namespace kx {
class BoardRunner;
}

// The signal as it comes: a continuous read on the board's worker, drawn many times a second from
// what the worker has handed over, so the window never waits on the board. A strip chart of the
// chosen window, its histogram, its averaged noise density with the white level, and its running
// figures. "Keep" makes the latest codes of the window the program's run. A change of channel,
// range, coding or rate restarts the read with the new settings, and the charts say since when
// they show what. A fault stops the read and is said in the window's status line.
class LiveForm : public kx::ScreenDialog {
    Q_OBJECT
public:
    explicit LiveForm(QWidget* parent = nullptr);
    ~LiveForm() override;

    kx::BoardRunner& runner() const { return *runner_; }
    // The read on screen, once it has started (for tests and the benchmark).
    const kx::live::LiveHistory* history() const { return history_.get(); }
    // Codes the worker has handed on in the current read, drawn or not.
    uint64_t codesHandedOn() const;

    // How often the window draws what came in.
    static constexpr int RedrawMs = 66;
    // Results dropped at each start: the filter settling after the settings were written.
    static constexpr int SettleResults = kx::SettleResults;

signals:
    // After each redraw, with the codes the read holds then.
    void redrawn(qint64 codes);

public slots:
    // Escape and the close box end the read, join the worker, then close.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Run_Click();
    void Stop_Click();
    void Keep_Click();
    void SettingChanged(const QString& what);
    void Start(const QString& why);
    void Redraw();
    void ShowFigures();
    void FillRates();
    void FillRanges();
    void SetRunning(bool on);
    kx::live::Span span() const;

    kx::BoardRunner* runner_ = nullptr;
    QTimer* timer_ = nullptr;
    std::shared_ptr<kx::live::CodeQueue> queue_;
    std::unique_ptr<kx::live::LiveHistory> history_;
    std::vector<int32_t> incoming_;
    kx::Run setAs_;  // the registers the read runs with, for "Keep"
    kx::Scaling scaling_;
    QString since_;                   // "since 10:41:07 (range changed)"
    std::optional<QString> restart_;  // a change waits for the read to end, then starts it again
    int32_t modeAtOpening_ = 0;
    bool dirty_ = false;

    QComboBox* channel_ = nullptr;
    QComboBox* range_ = nullptr;
    QComboBox* polarity_ = nullptr;
    QComboBox* rate_ = nullptr;
    QComboBox* window_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* keep_ = nullptr;
    QCustomPlot* strip_ = nullptr;
    QCustomPlot* histogram_ = nullptr;
    QCustomPlot* density_ = nullptr;
    QLabel* status_ = nullptr;
    struct FigureLabels {
        QLabel *meanCodes, *meanVolts, *rmsCodes, *rmsVolts, *pkPkCodes, *pkPkVolts;
        QLabel *effective, *noiseFree, *white, *codes;
    } figures_{};
};
