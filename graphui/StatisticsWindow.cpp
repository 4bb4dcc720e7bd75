#include "graphui/StatisticsWindow.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/GraphExport.h"
#include "graphui/ResultDialog.h"
#include "graphui/WindowPlacement.h"
#include "recording/SampleExport.h"
#include "recording/StatisticsExport.h"
#include "res/Resources.h"

namespace {

constexpr const char* kTimePattern = "%d/%m/%Y %H:%M:%S";
// Range changes arriving within this time are handled as one.
constexpr int kCoalesceMilliseconds = 120;

QString Text(int id) { return QString::fromStdString(kws::res::Text(id)); }
QString Format(int id, const QString& a, const QString& b) {
    return QString::fromStdString(
        kws::res::Format(id, a.toUtf8().constData(), b.toUtf8().constData()));
}
QString Format(int id, const QString& a) {
    return QString::fromStdString(kws::res::Format(id, a.toUtf8().constData()));
}
QString TimeText(int64_t t) {
    return QString::fromStdString(kws::rec::FormatLocalTimeMarked(t, kTimePattern));
}

// The draw events as a table, formatted only for the rows on screen (a year has thousands).
class DrawListModel : public QAbstractTableModel {
public:
    DrawListModel(const std::vector<kws::rec::DrawEvent>& draws, const QLocale& locale,
                  QObject* parent)
        : QAbstractTableModel(parent), draws_(draws), locale_(locale) {}

    // The list changed underneath (the samples grew).
    void Reload() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(draws_.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 5; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (role == Qt::TextAlignmentRole && index.column() > 0)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        const kws::rec::DrawEvent& d = draws_[static_cast<size_t>(index.row())];
        switch (index.column()) {
            case 0: return TimeText(d.start);
            case 1: return locale_.toString(static_cast<qlonglong>(d.seconds));
            case 2: return locale_.toString(d.litres, 'f', 2);
            case 3: return locale_.toString(d.minTemperature, 'f', 1);
            default: return locale_.toString(d.meanTemperature, 'f', 1);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static constexpr int kIds[] = {180, 181, 182, 183, 184};
        return section >= 0 && section < 5 ? Text(kIds[section]) : QVariant();
    }

private:
    const std::vector<kws::rec::DrawEvent>& draws_;
    QLocale locale_;
};

}  // namespace

void SampleIndexRange(double x0, double x1, size_t count, size_t& begin, size_t& end) {
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    begin = end = 0;
    if (count == 0 || !(hi >= 0.0) || !(lo <= static_cast<double>(count - 1))) return;
    begin = lo <= 0.0 ? 0 : static_cast<size_t>(std::ceil(lo));
    end = hi >= static_cast<double>(count - 1) ? count : static_cast<size_t>(std::floor(hi)) + 1;
    if (end < begin) end = begin;
}

StatisticsWindow::StatisticsWindow(CNewGraph& dialog)
    : QDialog(&dialog, Qt::Window),
      dialog_(dialog),
      locale_(QString::fromStdString(kws::res::CurrentLanguageTag())) {
    setWindowTitle(Text(160) + " - " + dialog.Title());
    const kws::rec::SampleStore& samples = dialog.Samples();
    const int layout = dialog.Kind() != 0 ? kws::rec::kThreeCurveLayout : kws::rec::kSixCurveLayout;
    window_ =
        kws::rec::ComputeStatistics(samples, dialog.Marks(), layout, 0, samples.size(), &draws_);
    double x0, x1;
    dialog.FittedRange(x0, x1);
    SampleIndexRange(x0, x1, samples.size(), fittedBegin_, fittedEnd_);

    tabs_ = new QTabWidget(this);
    auto* figuresPage = new QWidget(tabs_);
    auto* figuresLayout = new QVBoxLayout(figuresPage);
    figures_ = new QTableWidget(figuresPage);
    figures_->setObjectName("figures");
    figures_->setColumnCount(3);
    figures_->verticalHeader()->hide();
    figures_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    figures_->setSelectionMode(QAbstractItemView::NoSelection);
    figures_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    figuresLayout->addWidget(figures_);
    auto* note = new QLabel(Format(188, Count(window_.step)), figuresPage);
    note->setWordWrap(true);
    figuresLayout->addWidget(note);
    tabs_->addTab(figuresPage, Text(161));

    auto* drawsPage = new QWidget(tabs_);
    auto* drawsLayout = new QVBoxLayout(drawsPage);
    drawCount_ = new QLabel(Format(189, Count(static_cast<int64_t>(draws_.size()))), drawsPage);
    drawsLayout->addWidget(drawCount_);
    drawList_ = new QTableView(drawsPage);
    drawList_->setObjectName("draws");
    drawList_->setModel(new DrawListModel(draws_, locale_, drawList_));
    drawList_->verticalHeader()->hide();
    drawList_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    drawList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    drawsLayout->addWidget(drawList_);
    saveDraws_ = new QPushButton(Text(185), drawsPage);
    saveDraws_->setAutoDefault(false);
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(saveDraws_);
    saveRow->addStretch();
    drawsLayout->addLayout(saveRow);
    tabs_->addTab(drawsPage, Text(162));

    auto* close = new QPushButton(Text(186), this);
    close->setAutoDefault(false);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(close);
    auto* layoutBox = new QVBoxLayout(this);
    layoutBox->addWidget(tabs_);
    layoutBox->addLayout(closeRow);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(saveDraws_, &QPushButton::clicked, this, &StatisticsWindow::OnSaveDraws);

    BuildFigureRows();
    FillColumn(1, window_, 0, samples.size());
    figures_->setColumnHidden(2, true);

    pending_.setSingleShot(true);
    pending_.setInterval(kCoalesceMilliseconds);
    connect(&pending_, &QTimer::timeout, this, &StatisticsWindow::UpdateVisibleRange);
    if (CGraphWnd* graph = dialog.Graph()) {
        if (CGraphPanel* panel = graph->Panel()) {
            // While the view keeps changing, the figures follow at most every interval; the
            // last change is always shown.
            connect(panel, &CGraphPanel::RangesChanged, this, [this] {
                if (!pending_.isActive()) pending_.start();
            });
        }
    }
    UpdateVisibleRange();
    SizeToContent();
    PlaceBeside(*this, dialog);
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // Measured on the shown window: the table's whole length plus everything around its
    // viewport, less the scroll bars that go once it fits, within the screen.
    const QScrollBar* across = figures_->horizontalScrollBar();
    const QScrollBar* down = figures_->verticalScrollBar();
    QSize needed(figures_->horizontalHeader()->length() + width() - figures_->viewport()->width() -
                     (down->isVisible() ? down->width() : 0),
                 figures_->verticalHeader()->length() + height() - figures_->viewport()->height() -
                     (across->isVisible() ? across->height() : 0));
    if (const QScreen* screen = this->screen()) {
        const QRect outer = frameGeometry();
        const QSize frame(outer.width() - width(), outer.height() - height());
        needed = needed.boundedTo(screen->availableGeometry().size() - frame);
    }
    resize(size().expandedTo(needed));
    PlaceBeside(*this, dialog_);
}

void StatisticsWindow::SizeToContent() {
    // As large as the figures need without scrolling, within the screen: the layout works out
    // the window for a table of that size.
    figures_->resizeColumnsToContents();
    figures_->resizeRowsToContents();
    const int frame = 2 * figures_->frameWidth();
    const QSize content(figures_->horizontalHeader()->length() + frame,
                        figures_->horizontalHeader()->sizeHint().height() +
                            figures_->verticalHeader()->length() + frame);
    const QSize before = figures_->minimumSize();
    figures_->setMinimumSize(content);
    layout()->invalidate();
    QSize wanted = layout()->totalMinimumSize();
    figures_->setMinimumSize(before);
    layout()->invalidate();
    if (const QScreen* screen = this->screen())
        wanted = wanted.boundedTo(screen->availableGeometry().size());
    resize(wanted);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::BuildFigureRows() {
    QStringList labels;
    for (int id : {166, 167, 168, 169, 170, 171, 172, 173}) labels << Text(id);
    if (window_.hasCirculation) labels << Text(174) << Text(175);
    const int general = static_cast<int>(labels.size());
    const std::vector<CNewGraph::SeriesLook> looks = CNewGraph::SeriesOf(dialog_.Kind());
    figures_->setRowCount(general + 4 * static_cast<int>(looks.size()));
    figures_->setHorizontalHeaderLabels({Text(163), Text(164), Text(165)});
    for (int r = 0; r < general; ++r) figures_->setItem(r, 0, new QTableWidgetItem(labels[r]));
    QFont bold = figures_->font();
    bold.setBold(true);
    CGraphWnd* graph = dialog_.Graph();
    for (size_t c = 0; c < looks.size(); ++c) {
        const int row = general + 4 * static_cast<int>(c);
        // The curve's name as the legend shows it.
        const CGraphProps* series =
            graph != nullptr ? graph->GetSeries(static_cast<int>(c)) : nullptr;
        const QString name = series != nullptr
                                 ? series->GetTitle()
                                 : QString::fromStdString(kws::res::Format(looks[c].stringId));
        auto* header = new QTableWidgetItem(name);
        header->setFont(bold);
        figures_->setItem(row, 0, header);
        figures_->setSpan(row, 0, 1, 3);
        figures_->setItem(row + 1, 0, new QTableWidgetItem(Text(176)));
        figures_->setItem(row + 2, 0, new QTableWidgetItem(Text(177)));
        figures_->setItem(row + 3, 0, new QTableWidgetItem(Text(178)));
    }
}

void StatisticsWindow::FillColumn(int column, const kws::rec::WindowStatistics& s, size_t begin,
                                  size_t end) {
    const kws::rec::SampleStore& samples = dialog_.Samples();
    QString header = Text(column == 1 ? 164 : 165);
    if (begin < end) {
        header += "\n" + TimeText(samples[begin].time) + " -\n" + TimeText(samples[end - 1].time);
    }
    figures_->setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    QStringList values = {
        Duration(s.recordedSeconds), Count(s.gaps),      Duration(s.missingSeconds),
        Number(s.hotWaterLitres, 1), Count(s.draws),     Duration(s.longestDrawSeconds),
        Duration(s.pumpSeconds),     Count(s.pumpStarts)};
    if (s.hasCirculation) values << Duration(s.circulationSeconds) << Count(s.circulationStarts);
    int row = 0;
    auto put = [&](const QString& text) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        figures_->setItem(row++, column, item);
    };
    for (const QString& v : values) put(v);
    for (const kws::rec::CurveStatistics& c : s.curves) {
        ++row;  // the curve's name
        if (c.count == 0) {
            put(QStringLiteral("-"));
            put(QStringLiteral("-"));
            put(QStringLiteral("-"));
            continue;
        }
        put(ValueAt(c.min, c.minTime));
        put(ValueAt(c.max, c.maxTime));
        put(Number(c.mean, 2));
    }
}

void StatisticsWindow::SamplesGrew(size_t previousCount) {
    const kws::rec::SampleStore& samples = dialog_.Samples();
    const int layout =
        dialog_.Kind() != 0 ? kws::rec::kThreeCurveLayout : kws::rec::kSixCurveLayout;
    draws_.clear();
    window_ =
        kws::rec::ComputeStatistics(samples, dialog_.Marks(), layout, 0, samples.size(), &draws_);
    setWindowTitle(Text(160) + " - " + dialog_.Title());
    drawCount_->setText(Format(189, Count(static_cast<int64_t>(draws_.size()))));
    static_cast<DrawListModel*>(drawList_->model())->Reload();
    FillColumn(1, window_, 0, samples.size());
    // The fitted view showed the whole window: a view of the whole grown window is that one.
    if (fittedBegin_ == 0 && fittedEnd_ == previousCount) fittedEnd_ = samples.size();
    shownBegin_ = shownEnd_ = 0;
    visibleShown_ = false;
    UpdateVisibleRange();
}

void StatisticsWindow::UpdateVisibleRange() {
    pending_.stop();
    CGraphWnd* graph = dialog_.Graph();
    CGraphPanel* panel = graph != nullptr ? graph->Panel() : nullptr;
    if (panel == nullptr || !panel->HasMaps()) return;
    double x0, x1, y0, y1;
    panel->GetRanges(x0, x1, y0, y1);
    const kws::rec::SampleStore& samples = dialog_.Samples();
    size_t begin, end;
    SampleIndexRange(x0, x1, samples.size(), begin, end);
    // Until the view leaves the fitted one, the window's figures are those of the view.
    const bool zoomed = begin != fittedBegin_ || end != fittedEnd_;
    if (zoomed && (!visibleShown_ || begin != shownBegin_ || end != shownEnd_)) {
        const int layout =
            dialog_.Kind() != 0 ? kws::rec::kThreeCurveLayout : kws::rec::kSixCurveLayout;
        FillColumn(2, kws::rec::ComputeStatistics(samples, dialog_.Marks(), layout, begin, end),
                   begin, end);
        shownBegin_ = begin;
        shownEnd_ = end;
    }
    visibleShown_ = zoomed;
    figures_->setColumnHidden(2, !zoomed);
    if (zoomed) FitWidth();
}

void StatisticsWindow::FitWidth() {
    // Wide enough for every shown column: the window grows, never shrinks.
    int columns = 0;
    for (int c = 0; c < figures_->columnCount(); ++c) {
        if (!figures_->isColumnHidden(c)) columns += figures_->horizontalHeader()->sectionSize(c);
    }
    const int needed = columns + (width() - figures_->viewport()->width());
    if (needed <= width()) return;
    // A window left of the result window grows to the left, away from the graph.
    const bool leftOfResult = geometry().center().x() < dialog_.geometry().center().x();
    const int grow = needed - width();
    resize(needed, height());
    if (leftOfResult) move(pos().x() - grow, pos().y());
}

bool StatisticsWindow::SaveDraws(const QString& path, QString* failure) {
    return SaveTextOutput(
        path, [this](std::FILE* out) { return kws::rec::WriteDrawsTsv(out, draws_); }, failure);
}

void StatisticsWindow::OnSaveDraws() {
    const QString path = Prompts::Get().SaveFile(this, QString(), QStringLiteral("zapfungen"),
                                                 Prompts::FileTypeFilter("TSV", "tsv"), "tsv");
    if (path.isEmpty()) return;
    QString failure;
    if (!SaveDraws(path, &failure)) {
        Prompts::Get().Message(this, failure, Text(138), Prompts::kExclamation);
    }
}

QString StatisticsWindow::Number(double v, int decimals) const {
    return locale_.toString(v, 'f', decimals);
}

QString StatisticsWindow::Count(int64_t n) const {
    return locale_.toString(static_cast<qlonglong>(n));
}

QString StatisticsWindow::Duration(int64_t seconds) const {
    const int64_t days = seconds / 86400, rest = seconds % 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(rest / 3600)
                              .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(rest % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? Format(187, Count(days), clock) : clock;
}

QString StatisticsWindow::ValueAt(double v, int64_t time) const {
    return Format(179, Number(v, 1), TimeText(time));
}
