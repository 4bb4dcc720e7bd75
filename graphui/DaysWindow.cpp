#include "graphui/DaysWindow.h"

#include <QAbstractTableModel>
#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/DayChart.h"
#include "graphui/GraphExport.h"
#include "graphui/ResultDialog.h"
#include "graphui/WindowPlacement.h"
#include "recording/StatisticsExport.h"
#include "res/Resources.h"

namespace {

// String ids of the window.
constexpr int kDaysTitle = 220;
constexpr int kDateColumn = 225;
constexpr int kSaveDays = 226;
constexpr int kTimeOf = 227;
constexpr int kClickHint = 228;
constexpr int kClose = 186;
constexpr int kMinimum = 176, kMaximum = 177, kMean = 178;
const QColor kMissingTint(255, 205, 205);

QString Text(int id) { return QString::fromStdString(kws::res::Text(id)); }
QString Format(int id, const QString& a) {
    return QString::fromStdString(kws::res::Format(id, a.toUtf8().constData()));
}

int LayoutOf(const CNewGraph& dialog) {
    return dialog.Kind() != 0 ? kws::rec::kThreeCurveLayout : kws::rec::kSixCurveLayout;
}

// Curve names as the legend shows them.
QStringList CurveNames(const CNewGraph& dialog) {
    QStringList names;
    const std::vector<CNewGraph::SeriesLook> looks = CNewGraph::SeriesOf(dialog.Kind());
    for (size_t c = 0; c < looks.size(); ++c) {
        const CGraphProps* series =
            dialog.Graph() != nullptr ? dialog.Graph()->GetSeries(static_cast<int>(c)) : nullptr;
        names << (series != nullptr ? series->GetTitle()
                                    : QString::fromStdString(kws::res::Format(looks[c].stringId)));
    }
    return names;
}

}  // namespace

// The days as a table: the date, the figures of the general rows of the statistics, then per
// curve minimum, its time, maximum, its time and mean; formatted for the language only for the
// rows on screen.
class DayTableModel : public QAbstractTableModel {
public:
    enum Kind { kDuration, kCount, kLitres, kMin, kMinTime, kMax, kMaxTime, kMeanValue };
    struct Column {
        QString header;
        Kind kind;
        int field;  // which duration or count; the curve for the curve columns
    };

    DayTableModel(const std::vector<kws::rec::DayStatistics>& days, const QLocale& locale,
                  QObject* parent)
        : QAbstractTableModel(parent), days_(days), locale_(locale) {}

    void SetColumns(int layoutFlag, const QStringList& curveNames) {
        beginResetModel();
        columns_ = {{Text(166), kDuration, 0}, {Text(167), kCount, 0}, {Text(168), kDuration, 1},
                    {Text(169), kLitres, 0},   {Text(170), kCount, 1}, {Text(171), kDuration, 2},
                    {Text(172), kDuration, 3}, {Text(173), kCount, 2}};
        if (layoutFlag != kws::rec::kThreeCurveLayout) {
            columns_.push_back({Text(174), kDuration, 4});
            columns_.push_back({Text(175), kCount, 3});
        }
        for (int c = 0; c < curveNames.size(); ++c) {
            const QString name = curveNames[c] + "\n";
            columns_.push_back({name + Text(kMinimum), kMin, c});
            columns_.push_back({name + Format(kTimeOf, Text(kMinimum)), kMinTime, c});
            columns_.push_back({name + Text(kMaximum), kMax, c});
            columns_.push_back({name + Format(kTimeOf, Text(kMaximum)), kMaxTime, c});
            columns_.push_back({name + Text(kMean), kMeanValue, c});
        }
        endResetModel();
    }
    void Reset() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(days_.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size()) + 1;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const kws::rec::DayStatistics& day = days_[static_cast<size_t>(index.row())];
        if (role == Qt::BackgroundRole && day.MissesData()) return kMissingTint;
        if (role == Qt::TextAlignmentRole && index.column() > 0)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole) return {};
        if (index.column() == 0) {
            return QStringLiteral("%1/%2/%3")
                .arg(day.day, 2, 10, QLatin1Char('0'))
                .arg(day.month, 2, 10, QLatin1Char('0'))
                .arg(day.year, 4, 10, QLatin1Char('0'));
        }
        return Value(day.figures, columns_[static_cast<size_t>(index.column() - 1)]);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        if (section == 0) return Text(kDateColumn);
        return section > 0 && section <= static_cast<int>(columns_.size())
                   ? columns_[static_cast<size_t>(section - 1)].header
                   : QVariant();
    }

private:
    QString Value(const kws::rec::WindowStatistics& s, const Column& column) const {
        switch (column.kind) {
            case kDuration: {
                const int64_t seconds[] = {s.recordedSeconds, s.missingSeconds,
                                           s.longestDrawSeconds, s.pumpSeconds,
                                           s.circulationSeconds};
                return Duration(seconds[column.field]);
            }
            case kCount: {
                const int64_t counts[] = {s.gaps, s.draws, s.pumpStarts, s.circulationStarts};
                return locale_.toString(static_cast<qlonglong>(counts[column.field]));
            }
            case kLitres: return locale_.toString(s.hotWaterLitres, 'f', 1);
            default: break;
        }
        const size_t c = static_cast<size_t>(column.field);
        if (c >= s.curves.size() || s.curves[c].count == 0) return QStringLiteral("-");
        const kws::rec::CurveStatistics& curve = s.curves[c];
        switch (column.kind) {
            case kMin: return locale_.toString(curve.min, 'f', 1);
            case kMax: return locale_.toString(curve.max, 'f', 1);
            case kMinTime: return ClockOf(curve.minTime);
            case kMaxTime: return ClockOf(curve.maxTime);
            default: return locale_.toString(curve.mean, 'f', 2);
        }
    }
    // The time of day (the row gives the date), with the UTC offset in a repeated hour.
    static QString ClockOf(int64_t t) {
        const std::string text = kws::rec::FigureTime(t);
        return QString::fromStdString(text.size() > 11 ? text.substr(11) : text);
    }
    static QString Duration(int64_t seconds) {
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }

    const std::vector<kws::rec::DayStatistics>& days_;
    QLocale locale_;
    std::vector<Column> columns_;
};

DaysWindow::DaysWindow(CNewGraph& dialog)
    : QDialog(&dialog, Qt::Window),
      dialog_(dialog),
      layoutFlag_(LayoutOf(dialog)),
      locale_(QString::fromStdString(kws::res::CurrentLanguageTag())) {
    chart_ = new DayChart(this);
    chart_->setObjectName("chart");
    auto* hint = new QLabel(Text(kClickHint), this);
    hint->setWordWrap(true);
    table_ = new QTableView(this);
    table_->setObjectName("days");
    model_ = new DayTableModel(days_, locale_, table_);
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    save_ = new QPushButton(Text(kSaveDays), this);
    save_->setAutoDefault(false);
    auto* close = new QPushButton(Text(kClose), this);
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* box = new QVBoxLayout(this);
    box->addWidget(chart_, 3);
    box->addWidget(hint);
    box->addWidget(table_, 2);
    box->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(save_, &QPushButton::clicked, this, &DaysWindow::OnSave);
    connect(chart_, &DayChart::DayClicked, this, &DaysWindow::ShowDay);
    connect(table_, &QTableView::clicked, this,
            [this](const QModelIndex& index) { ShowDay(index.row()); });
    // The arrow keys walk the days as clicks do.
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) ShowDay(current.row());
            });

    model_->SetColumns(layoutFlag_, CurveNames(dialog_));
    Refresh();
    SizeToContent();
}

DaysWindow::~DaysWindow() = default;

void DaysWindow::Refresh() {
    setWindowTitle(Text(kDaysTitle) + " - " + dialog_.Title());
    const kws::rec::SampleStore& samples = dialog_.Samples();
    days_ =
        kws::rec::ComputeDailyStatistics(samples, dialog_.Marks(), layoutFlag_, 0, samples.size());
    model_->Reset();
    chart_->SetDays(&days_, CurveNames(dialog_).value(0));
}

void DaysWindow::ShowDay(int index) {
    if (index < 0 || index >= static_cast<int>(days_.size())) return;
    chart_->SetChosenDay(index);
    table_->selectRow(index);
    const kws::rec::DayStatistics& day = days_[static_cast<size_t>(index)];
    CGraphPanel* panel = dialog_.Graph() != nullptr ? dialog_.Graph()->Panel() : nullptr;
    if (panel == nullptr || !panel->HasMaps() || day.begin >= day.end) return;
    double x0, x1, y0, y1;
    panel->GetRanges(x0, x1, y0, y1);
    // x is the sample index; a day of one record gets a range around it.
    double first = static_cast<double>(day.begin), last = static_cast<double>(day.end - 1);
    if (last <= first) {
        first -= 0.5;
        last += 0.5;
    }
    // A click that also moves the table's current row asks twice; the graph is drawn once.
    if (x0 != first || x1 != last) panel->SetRanges(first, last, y0, y1, true);
}

QImage DaysWindow::ChartImage(const QSize& size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(chart_->font());
    chart_->Paint(p, image.rect());
    return image;
}

bool DaysWindow::Save(const QString& path, QString* failure) {
    if (QFileInfo(path).suffix().compare(QStringLiteral("png"), Qt::CaseInsensitive) == 0) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QSize size = chart_->size().expandedTo(QSize(1280, 600));
        if (!ChartImage(size).save(&buffer, "PNG")) {
            if (failure != nullptr) *failure = Text(156);
            return false;
        }
        return SaveTextOutput(
            path,
            [&bytes](std::FILE* out) {
                return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out) ==
                           static_cast<size_t>(bytes.size()) &&
                       std::fflush(out) == 0;
            },
            failure);
    }
    return SaveTextOutput(
        path, [this](std::FILE* out) { return kws::rec::WriteDailyTsv(out, days_, layoutFlag_); },
        failure);
}

void DaysWindow::OnSave() {
    const QString path =
        Prompts::Get().SaveFile(this, QString(), QStringLiteral("tage"),
                                Prompts::FileTypeFilter("TSV", "tsv") + QStringLiteral(";;") +
                                    Prompts::FileTypeFilter("PNG", "png"),
                                "tsv");
    if (path.isEmpty()) return;
    QString failure;
    if (!Save(path, &failure)) {
        Prompts::Get().Message(this, failure, Text(138), Prompts::kExclamation);
    }
}

void DaysWindow::SizeToContent() {
    // As wide as the chart wants and the table's first columns need, as tall as the chart and a
    // dozen rows. Where the room beside the result window takes the whole chart at its least, the
    // window keeps to that room, so that the graph stays in sight; the screen sets the limit.
    table_->resizeColumnsToContents();
    const int em = fontMetrics().height();
    int columns = 0;
    for (int c = 0; c < model_->columnCount({}); ++c)
        columns += table_->horizontalHeader()->sectionSize(c);
    const QMargins m = layout()->contentsMargins();
    const int frame = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
    const int rows = std::min<int>(12, std::max<int>(4, static_cast<int>(days_.size())));
    const int tableHeight = table_->horizontalHeader()->sizeHint().height() +
                            rows * table_->verticalHeader()->defaultSectionSize() +
                            table_->horizontalScrollBar()->sizeHint().height() +
                            2 * table_->frameWidth();
    const int contentWidth =
        std::max(chart_->sizeHint().width(), std::min(columns + frame, 60 * em));
    QSize wanted(contentWidth + m.left() + m.right(),
                 chart_->sizeHint().height() + tableHeight + 4 * em + m.top() + m.bottom());
    wanted = wanted.expandedTo(minimumSizeHint());
    if (const QScreen* screen = dialog_.screen()) {
        const QRect room = screen->availableGeometry();
        const QRect a = dialog_.frameGeometry();
        const int beside = std::max(room.right() - a.right(), a.left() - room.left()) - em;
        if (beside >= minimumSizeHint().width()) wanted.setWidth(std::min(wanted.width(), beside));
        wanted = wanted.boundedTo(QSize(room.width() * 9 / 10, room.height() * 9 / 10));
    }
    resize(wanted);
    PlaceBeside(*this, dialog_);
}
