#include "graphui/ResultDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <new>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/AppIcon.h"
#include "graphui/DaysWindow.h"
#include "graphui/DialogUnits.h"
#include "graphui/Following.h"
#include "graphui/GraphFrame.h"
#include "graphui/OutOfMemory.h"
#include "graphui/ProgressWnd.h"
#include "graphui/StatisticsWindow.h"
#include "image/ImageHandle.h"
#include "image/ImageHandleQt.h"
#include "recording/LocalTime.h"
#include "recording/SampleExport.h"
#include "res/Resources.h"

std::function<void(CNewGraph&)> CNewGraph::saveCommand;
std::function<void(CNewGraph&)> CNewGraph::printCommand;

namespace {

QString Text(const char* key) { return QString::fromStdString(kws::res::Text(key)); }

// String id of the button that opens the day overview.
constexpr int kDaysButton = 220;

// Samples per block of the build: a few milliseconds of work at most, so that the progress
// window keeps moving and Cancel answers; a multiple of the point summaries' block.
constexpr int64_t kBuildBlockRows = 8192;

// Where series `s` of a layout finds its value in a sample, and how it reads it: exactly -250
// and 250 are plotted as 0.0, except by the circulation pump of the six-curve layout, which
// plots its values as they are and takes no point where the value is exactly -25.
PointColumn ColumnOf(int kind, int s) {
    PointColumn c;
    c.offset = offsetof(kws::rec::SampleRecord, value) + static_cast<size_t>(s) * sizeof(double);
    if (kind == 0 && s == 5) {
        c.hasSkipValue = true;
        c.skipValue = -25.0;
    } else {
        c.hasSentinels = true;
        c.sentinels[0] = -250.0;
        c.sentinels[1] = 250.0;
        c.replacement = 0.0;
    }
    return c;
}

}  // namespace

std::vector<CNewGraph::SeriesLook> CNewGraph::SeriesOf(int kind) {
    if (kind != 0)
        return {{127, RGB(0, 188, 255)}, {128, RGB(255, 0, 0), true}, {129, RGB(0, 255, 0)}};
    return {{130, RGB(0, 188, 255)}, {131, RGB(255, 0, 0)},         {127, RGB(0, 0, 255)},
            {129, RGB(0, 255, 0)},   {132, RGB(255, 0, 255), true}, {133, RGB(255, 127, 0), true}};
}

CNewGraph::CNewGraph(int kind, QWidget* parent) : QDialog(parent), kind_(kind) {
    owner_ = parent != nullptr ? parent->window() : QApplication::activeModalWidget();
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(AppIcon());
    setFont(DialogFont());
    const DialogUnits du(font());
    resize(du.Size(456, 326));
    save_ = new QPushButton(Text("D129.1003"), this);
    save_->setObjectName("1003");
    save_->setGeometry(du.Rect(7, 303, 54, 21));
    print_ = new QPushButton(Text("D129.1004"), this);
    print_->setObjectName("1004");
    print_->setGeometry(du.Rect(91, 303, 54, 21));
    statistics_ = new QPushButton(QString::fromStdString(kws::res::Text(160)), this);
    statistics_->setObjectName("1005");
    statistics_->setGeometry(du.Rect(175, 303, 54, 21));
    days_ = new QPushButton(QString::fromStdString(kws::res::Text(kDaysButton)), this);
    days_->setObjectName("1006");
    days_->setGeometry(du.Rect(259, 303, 54, 21));
    follow_ = new QCheckBox(Text("F.follow"), this);
    follow_->setObjectName("follow");
    follow_->setGeometry(du.Rect(343, 306, 80, 14));
    follow_->setEnabled(false);
    connect(follow_, &QCheckBox::toggled, this, &CNewGraph::OnFollowToggled);
    save_->setAutoDefault(false);
    print_->setAutoDefault(false);
    statistics_->setAutoDefault(false);
    days_->setAutoDefault(false);
    connect(statistics_, &QPushButton::clicked, this, &CNewGraph::OnStatistics);
    connect(days_, &QPushButton::clicked, this, &CNewGraph::OnDays);
    connect(save_, &QPushButton::clicked, this, [this] {
        if (saveCommand) saveCommand(*this);
    });
    connect(print_, &QPushButton::clicked, this, [this] {
        if (printCommand) printCommand(*this);
    });
    // The keys users expect for the two commands.
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, save_, &QPushButton::click);
    auto* printKey = new QShortcut(QKeySequence::Print, this);
    connect(printKey, &QShortcut::activated, print_, &QPushButton::click);
}

CNewGraph::~CNewGraph() = default;

void CNewGraph::SetData(const kws::rec::SampleArray& samples) {
    SetData(std::make_shared<const kws::rec::SampleArray>(samples));
}

void CNewGraph::SetData(std::shared_ptr<const kws::rec::SampleArray> samples) {
    samples_ = std::move(samples);
    store_ = kws::rec::SampleStore(samples_);
    SamplesChanged();
}

void CNewGraph::SamplesChanged() {
    if (daysWindow_ != nullptr) daysWindow_->Refresh();
}

void CNewGraph::SetMarks(std::shared_ptr<const kws::rec::SampleMarks> marks) {
    marks_ = std::move(marks);
}

const kws::rec::SampleMarks& CNewGraph::Marks() const {
    static const kws::rec::SampleMarks kNone;
    return marks_ ? *marks_ : kNone;
}

void CNewGraph::OnStatistics() {
    try {
        if (statisticsWindow_ == nullptr) statisticsWindow_ = new StatisticsWindow(*this);
        statisticsWindow_->show();
        statisticsWindow_->raise();
        statisticsWindow_->activateWindow();
    } catch (const std::bad_alloc&) {
        ShowOutOfMemoryMessage(this);
    }
}

void CNewGraph::OnDays() {
    try {
        if (daysWindow_ == nullptr) daysWindow_ = new DaysWindow(*this);
        daysWindow_->show();
        daysWindow_->raise();
        daysWindow_->activateWindow();
    } catch (const std::bad_alloc&) {
        ShowOutOfMemoryMessage(this);
    }
}

CGraphFrame* CNewGraph::Frame() const {
    return graph_ ? dynamic_cast<CGraphFrame*>(graph_->Frame()) : nullptr;
}

bool CNewGraph::OnInitDialog() {
    InstallGraphFrame();
    const QRect client = rect();
    const QRect graphRect(10, 10, client.width() - 20, client.height() - 55);
    graph_ = new CGraphWnd(kind_ != 0 ? 3 : 6, kind_);
    if (!graph_->Create("", graphRect, this, 7, 1)) return false;
    // The save and print commands go through the image library's current codec factory.
    InstallImageFactory(new FCImageHandleFactory_QtImage());
    try {
        AllocationWatch watch;
        TakeAllocationFailure();  // a note left before the build is not the build's
        return FillGraph();
    } catch (const std::bad_alloc&) {
        // The points built so far go at once, so that the message and the main dialog have
        // memory again.
        outOfMemory_ = true;
        delete graph_;
        graph_ = nullptr;
        return false;
    }
}

bool CNewGraph::FillGraph() {
    using kws::res::Format;
    const QString caption = QString::fromStdString(kws::res::Text(138));
    int64_t startTime = NullTimeStamp(), endTime = NullTimeStamp();
    static const kws::rec::SampleArray kNone;
    const kws::rec::SampleArray& samples = samples_ ? *samples_ : kNone;
    const int64_t n = static_cast<int64_t>(samples.size());
    CProgressWnd progress(this, QString::fromStdString(kws::res::Text(123)), true);
    progress.SetBarRange(0, static_cast<int>(std::min<int64_t>(2 * n + 250, INT32_MAX)), 1);
    progress.SetMessageText("%s", Format(124).c_str());
    graph_->SetAxisTitle(QString::fromStdString(kws::res::Text(102)), QStringLiteral("°C"), 1, 0,
                         1);
    graph_->SetAxisTitle(QString::fromStdString(kws::res::Text(103)), QString(), 0, 1, 1);
    graph_->SetModeFlags(13, 1);
    // The curves read the samples in place: each series is one value column of the samples.
    // Rows a followed recording appends come in chunks of the sample store.
    table_ =
        std::make_shared<PointTable>(samples.data(), samples.size(), sizeof(kws::rec::SampleRecord),
                                     offsetof(kws::rec::SampleRecord, time), samples_);
    table_->SetChunkShift(kws::rec::SampleStore::kChunkShift);
    const std::shared_ptr<const PointTable> table = table_;
    const auto series = SeriesOf(kind_);
    std::vector<int>& seriesSlots = seriesSlots_;
    for (size_t s = 0; s < series.size(); ++s) {
        seriesSlots.push_back(graph_->AddSeries(
            series[s].color, QString::fromStdString(Format(series[s].stringId)), 1, 1, 0));
        graph_->ReadSeriesFrom(seriesSlots.back(), table, ColumnOf(kind_, static_cast<int>(s)));
        if (series[s].band) graph_->GetSeries(seriesSlots.back())->SetBand(true);
    }
    auto cancelled = [&] {
        // An event handler that ran out of memory while the progress window pumped, or a
        // notification that did, ends the build as an allocation here would.
        if (TakeAllocationFailure()) throw std::bad_alloc();
        if (!progress.Cancelled()) return false;
        // This dialog is not shown yet: the message, centred on it, is to show over the
        // window the evaluation was started from.
        if (owner_ != nullptr && owner_ != this) {
            const QRect over =
                owner_->isMinimized() ? owner_->normalGeometry() : owner_->geometry();
            move(over.center() - QPoint(width() / 2, height() / 2));
        }
        Prompts::Get().Message(this, QString::fromStdString(kws::res::Text(125)), caption);
        progress.DestroyWindow();
        return true;
    };
    auto advanceTo = [&](int64_t position) {
        progress.SetBarPosition(static_cast<int>(std::min<int64_t>(position, INT32_MAX)));
        progress.PumpPendingMessages(true);
    };
    // Series 0 over all samples, then the others; each in blocks of samples, after each of which
    // the bar moves, the progress window may pump, and Cancel is honoured.
    for (int64_t row = 0; row < n;) {
        const int64_t end = std::min(n, row + kBuildBlockRows);
        // The latest time starts at the first sample, not at 1970: a window before 1970 ends
        // at its own latest time.
        if (row == 0) startTime = endTime = samples[0].time;
        for (; row < end; ++row)
            endTime = std::max(endTime, samples[static_cast<size_t>(row)].time);
        graph_->AddRows(seriesSlots[0], static_cast<size_t>(end), 1);
        advanceTo(end);
        if (cancelled()) return false;
    }
    for (int64_t row = 0; row < n;) {
        const int64_t end = std::min(n, row + kBuildBlockRows);
        for (size_t s = 1; s < seriesSlots.size(); ++s)
            graph_->AddRows(seriesSlots[s], static_cast<size_t>(end), 1);
        row = end;
        advanceTo(n + end);
        if (cancelled()) return false;
    }
    startTime_ = startTime;
    endTime_ = endTime;
    UpdateTitle();
    if (CGraphPanel* panel = graph_->Panel()) {
        panel->FitToData(4105);
        double y0, y1;
        panel->GetRanges(fittedX0_, fittedX1_, y0, y1);
        panel->ClearHistory();  // the fitted view is the first one
    }
    if (CGraphFrame* frame = Frame()) {
        frame->DockLegend();
        frame->ShowLegendNow();
    }
    if (TakeAllocationFailure()) throw std::bad_alloc();
    progress.DestroyWindow();
    return true;
}

void CNewGraph::UpdateTitle() {
    using kws::res::Format;
    // One day, or a span of days.
    kws::rec::LocalFields a{}, b{};
    kws::rec::LocalFieldsOf(startTime_, a);
    kws::rec::LocalFieldsOf(endTime_, b);
    const std::string startDate = kws::rec::FormatLocalTime(startTime_, "%d/%m/%Y");
    const std::string startClock = kws::rec::FormatLocalTime(startTime_, "%H:%Mh");
    const std::string endDate = kws::rec::FormatLocalTime(endTime_, "%d/%m/%Y");
    const std::string endClock = kws::rec::FormatLocalTime(endTime_, "%H:%Mh");
    if (a.day == b.day && a.month == b.month && a.year == b.year) {
        title_ = QString::fromStdString(
            Format(137, startDate.c_str(), startClock.c_str(), endClock.c_str()));
    } else {
        title_ = QString::fromStdString(
            Format(136, startDate.c_str(), startClock.c_str(), endDate.c_str(), endClock.c_str()));
    }
    setWindowTitle(title_);
}

bool CNewGraph::Build() {
    if (!buildTried_) {
        buildTried_ = true;
        built_ = OnInitDialog();
    }
    return built_;
}

int CNewGraph::DoModal() {
    if (!Build()) {
        OnClose();
        return 0;
    }
    return Prompts::Get().Exec(*this) == -1 ? -1 : 0;
}

void CNewGraph::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int cx = event->size().width(), cy = event->size().height();
    if (graph_ == nullptr) return;
    graph_->setGeometry(10, 10, cx - 20, cy - 53);
    save_->setGeometry(10, cy - 36, 80, 33);
    print_->setGeometry(145, cy - 36, 80, 33);
    statistics_->setGeometry(280, cy - 36, 80, 33);
    days_->setGeometry(415, cy - 36, 80, 33);
    follow_->setGeometry(520, cy - 36, std::max(follow_->sizeHint().width(), 80), 33);
}

void CNewGraph::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // "+", "-", the arrows and Home work on the plot from the start.
    if (graph_ != nullptr && graph_->Panel() != nullptr)
        graph_->Panel()->setFocus(Qt::OtherFocusReason);
}

void CNewGraph::OnClose() {
    if (follower_ != nullptr) follower_->Stop();
    if (graph_ != nullptr) graph_->hide();
    done(0);
}

void CNewGraph::closeEvent(QCloseEvent* event) {
    OnClose();
    event->accept();
}

void CNewGraph::reject() { OnClose(); }

void CNewGraph::SetFollowSource(const FollowSource& source) {
    followSource_ = source;
    follow_->setEnabled(source.endsAtRecordingEnd && !source.path.isEmpty());
}

bool CNewGraph::Following() const { return follower_ != nullptr && follower_->Active(); }

bool CNewGraph::SetFollowing(bool on) {
    if (on != follow_->isChecked()) {
        follow_->setChecked(on);  // runs OnFollowToggled
    } else if (on != Following()) {
        OnFollowToggled(on);
    }
    return Following() == on;
}

void CNewGraph::OnFollowToggled(bool on) {
    if (!on) {
        if (follower_ != nullptr) follower_->Stop();
        return;
    }
    if (Following()) return;
    if (!built_ || graph_ == nullptr || !follow_->isEnabled()) {
        const QSignalBlocker block(follow_);
        follow_->setChecked(false);
        return;
    }
    if (follower_ == nullptr) {
        follower_ = new RecordingFollower(this);
        connect(follower_, &RecordingFollower::Grown, this, &CNewGraph::OnSamplesGrown);
        connect(follower_, &RecordingFollower::Ended, this, &CNewGraph::OnFollowEnded);
    }
    // Following appends fillers to the marks: from now on the dialog keeps its own copy.
    if (!ownMarks_) {
        ownMarks_ = std::make_shared<kws::rec::SampleMarks>(Marks());
        marks_ = ownMarks_;
    }
    RecordingFollower::Window window;
    window.path = followSource_.path;
    window.headerLines = followSource_.headerLines;
    window.layoutFlag = followSource_.layoutFlag;
    window.start = followSource_.start;
    window.end = followSource_.end;
    window.map = followSource_.map;
    // The map belongs to the opening and is used once, for taking up the window's state.
    followSource_.map = nullptr;
    QString message;
    if (!follower_->Start(window, store_, *ownMarks_, message)) {
        {
            const QSignalBlocker block(follow_);
            follow_->setChecked(false);
        }
        if (!message.isEmpty()) Prompts::Get().Message(this, message, Text("F.follow"));
    }
}

void CNewGraph::OnFollowEnded(const QString& message) {
    {
        const QSignalBlocker block(follow_);
        follow_->setChecked(false);
    }
    Prompts::Get().Message(this, message, Text("F.follow"));
}

void CNewGraph::OnSamplesGrown(size_t previousCount) {
    if (graph_ == nullptr || !table_) return;
    // The curves' table takes the new chunks; the records already read stay where they are.
    const auto& chunks = store_.Chunks();
    for (size_t k = table_->Chunks(); k < chunks.size(); ++k)
        table_->AddChunk(chunks[k]->data(), chunks[k]);
    table_->SetRows(store_.size());
    CGraphPanel* panel = graph_->Panel();
    double x0 = 0.0, x1 = 0.0, y0 = 0.0, y1 = 0.0;
    if (panel != nullptr) panel->GetRanges(x0, x1, y0, y1);
    // The view showed the last sample when its right edge reached where a fit puts it (four
    // samples inside the last one): it then moves with the new samples, keeping its width.
    const double lastBefore = static_cast<double>(previousCount) - 1.0;
    const bool tail = previousCount > 0 && std::max(x0, x1) >= lastBefore - 4.0;
    for (int slot : seriesSlots_) graph_->AddRows(slot, store_.size(), 0);
    for (size_t i = previousCount; i < store_.size(); ++i)
        endTime_ = std::max(endTime_, store_[i].time);
    if (previousCount == 0 && !store_.empty()) startTime_ = store_[0].time;
    if (panel != nullptr) {
        const double shift = tail ? static_cast<double>(store_.size() - previousCount) : 0.0;
        panel->SetRanges(x0 + shift, x1 + shift, y0, y1, true);
    }
    UpdateTitle();
    if (statisticsWindow_ != nullptr) statisticsWindow_->SamplesGrew(previousCount);
    SamplesChanged();
}
