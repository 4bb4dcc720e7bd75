// The result of one evaluation: a dialog whose graph window shows the samples as three or six
// curves, built under a progress window, with the legend docked above the plot, titled with the
// evaluated span, and the buttons "Speichern", "Ausdrucken", "Statistik" and "Tage".
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "recording/BlockMap.h"
#include "recording/SampleMarks.h"
#include "recording/SampleRecord.h"
#include "recording/SampleStore.h"

class CGraphWnd;
class CGraphFrame;
class DaysWindow;
class PointTable;
class QCheckBox;
class QPushButton;
class RecordingFollower;
class StatisticsWindow;

class CNewGraph : public QDialog {
    Q_OBJECT

public:
    // `kind` is the layout flag: nonzero for the three-curve layout.
    CNewGraph(int kind, QWidget* parent);
    ~CNewGraph() override;

    // The samples to show: a copy, or an array shared with the caller, which must not change it
    // while the dialog lives (a month of samples is 145 MB; the main dialog shares its array).
    // The curves read their points from these samples in place and keep them alive.
    void SetData(const kws::rec::SampleArray& samples);
    void SetData(std::shared_ptr<const kws::rec::SampleArray> samples);
    // Which samples are fillers and padding, and whether the window was thinned (for the
    // statistics); without them every record counts as a data sample of one second.
    void SetMarks(std::shared_ptr<const kws::rec::SampleMarks> marks);
    // Builds the graph and runs the dialog; 0 when it closes (also after a cancelled build).
    int DoModal();
    // Builds the graph without running the dialog (the headless image and page export, and the
    // main dialog, which takes no input meanwhile); false when the build was cancelled or ran out
    // of memory. The graph is built once: later calls return the first result.
    bool Build();
    // Whether the build ran out of memory; the graph is then released.
    bool OutOfMemory() const { return outOfMemory_; }

    // The recording the samples were evaluated from, for following it as it grows. "Mitlaufen"
    // is enabled when the window [start, end] ends at the recording's end time.
    struct FollowSource {
        QString path;
        int headerLines = 0;
        int layoutFlag = 1;
        int64_t start = 0, end = 0;
        bool endsAtRecordingEnd = false;
        const kws::rec::BlockMap* map = nullptr;  // the opening's map; used when following starts
    };
    void SetFollowSource(const FollowSource& source);
    // Turns following on or off, as the check box does; false (with the reason shown) when it
    // cannot start.
    bool SetFollowing(bool on);
    bool Following() const;
    QCheckBox* FollowBox() const { return follow_; }
    RecordingFollower* Follower() const { return follower_; }
    // The latest time of the samples, which the title ends with.
    int64_t EndTime() const { return endTime_; }

    CGraphWnd* Graph() const { return graph_; }
    CGraphFrame* Frame() const;
    const QString& Title() const { return title_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* PrintButton() const { return print_; }
    QPushButton* StatisticsButton() const { return statistics_; }
    QPushButton* DaysButton() const { return days_; }
    // The statistics window, once "Statistik" opened it.
    StatisticsWindow* Statistics() const { return statisticsWindow_; }
    // The day overview, once "Tage" opened it.
    DaysWindow* Days() const { return daysWindow_; }
    // The samples: the evaluation's, and those a followed recording appended since.
    const kws::rec::SampleStore& Samples() const { return store_; }
    const kws::rec::SampleMarks& Marks() const;
    // The horizontal view range right after the build: the view before any zoom.
    void FittedRange(double& x0, double& x1) const {
        x0 = fittedX0_;
        x1 = fittedX1_;
    }
    int Kind() const { return kind_; }

    // What "Speichern" and "Ausdrucken" do (installed by the saving and printing code).
    static std::function<void(CNewGraph&)> saveCommand;
    static std::function<void(CNewGraph&)> printCommand;

    // The series names and colours of a layout, in slot order.
    struct SeriesLook {
        int stringId;
        uint32_t color;  // COLORREF
        // Drawn before the other curves: its pixel columns fill up to bands (a pump's on and
        // off over a long window) that would hide the lines.
        bool band = false;
    };
    static std::vector<SeriesLook> SeriesOf(int kind);
    // The window this dialog belongs to (the main dialog): the one that was running modally
    // when it was made, or its parent's window. Messages during the build show over it.
    QWidget* OwnerWindow() const { return owner_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool OnInitDialog();
    bool FillGraph();
    void OnClose();
    void OnStatistics();
    void OnDays();
    // The samples changed: the windows that show figures of them compute them again.
    void SamplesChanged();
    void OnFollowToggled(bool on);
    void OnSamplesGrown(size_t previousCount);
    void OnFollowEnded(const QString& message);
    void UpdateTitle();

    int kind_;
    std::shared_ptr<const kws::rec::SampleArray> samples_;
    std::shared_ptr<const kws::rec::SampleMarks> marks_;
    kws::rec::SampleStore store_;
    // Following appends to these: the curves' view of the store and a copy of the marks.
    std::shared_ptr<PointTable> table_;
    std::shared_ptr<kws::rec::SampleMarks> ownMarks_;
    std::vector<int> seriesSlots_;
    FollowSource followSource_;
    RecordingFollower* follower_ = nullptr;
    QCheckBox* follow_;
    int64_t startTime_ = 0, endTime_ = 0;
    CGraphWnd* graph_ = nullptr;
    QPushButton* save_;
    QPushButton* print_;
    QPushButton* statistics_;
    QPushButton* days_;
    StatisticsWindow* statisticsWindow_ = nullptr;
    QPointer<QWidget> owner_;
    DaysWindow* daysWindow_ = nullptr;
    double fittedX0_ = 0.0, fittedX1_ = 0.0;
    QString title_;
    bool buildTried_ = false;
    bool built_ = false;
    bool outOfMemory_ = false;
};
