#include "app/MainDialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTimeEdit>
#include <QTimer>

#include <new>

#include "app/Language.h"
#include "app/LanguageDialogs.h"
#include "graph/Prompts.h"
#include "graphui/AppIcon.h"
#include "graphui/DialogUnits.h"
#include "graphui/OutOfMemory.h"
#include "graphui/ResultDialog.h"
#include "recording/Evaluation.h"
#include "recording/LocalTime.h"
#include "res/Resources.h"

namespace {

QString Text(int id) { return QString::fromStdString(kws::res::Format(id)); }
QString DialogText(int control) {
    return QString::fromStdString(kws::res::Text("D102." + std::to_string(control)));
}

const QDate kLowestDate(1970, 1, 1);

QDateEdit* DatePicker(QWidget* parent, int id, QRect geometry) {
    auto* d = new QDateEdit(parent);
    d->setObjectName(QString::number(id));
    d->setCalendarPopup(false);  // up-down buttons
    d->setAlignment(Qt::AlignRight);
    d->setGeometry(geometry);
    return d;
}

QTimeEdit* TimePicker(QWidget* parent, int id, QRect geometry) {
    auto* t = new QTimeEdit(parent);
    t->setObjectName(QString::number(id));
    t->setDisplayFormat("HH:mm:ss");
    t->setAlignment(Qt::AlignRight);
    t->setGeometry(geometry);
    return t;
}

QLabel* Label(QWidget* parent, int id, QRect geometry) {
    auto* l = new QLabel(DialogText(id), parent);
    l->setObjectName(QString::number(id));
    l->setGeometry(geometry);
    return l;
}

QPushButton* Button(QWidget* parent, int id, QRect geometry) {
    auto* b = new QPushButton(DialogText(id), parent);
    b->setObjectName(QString::number(id));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

CKWSekundeDlg::CKWSekundeDlg(const QString& workingFolder, QWidget* parent)
    : QDialog(parent), workingFolder_(workingFolder) {
    setWindowTitle(QString::fromStdString(kws::res::Text("D102.caption")));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(AppIcon());
    setFont(DialogFont());
    setAcceptDrops(true);
    const DialogUnits du(font());
    setFixedSize(du.Size(315, 162));

    startGroup_ = new QGroupBox(DialogText(1012), this);
    startGroup_->setObjectName("1012");
    startGroup_->setGeometry(du.Rect(7, 4, 165, 65));
    startGroup_->lower();
    endGroup_ = new QGroupBox(DialogText(1013), this);
    endGroup_->setObjectName("1013");
    endGroup_->setGeometry(du.Rect(7, 83, 165, 65));
    endGroup_->lower();

    recordingStartDate_ = DatePicker(this, 1001, du.Rect(37, 21, 56, 14));
    at_[0] = Label(this, 1015, du.Rect(96, 23, 23, 9));
    recordingStartTime_ = TimePicker(this, 1011, du.Rect(122, 21, 46, 14));
    from_ = Label(this, 1019, du.Rect(9, 49, 25, 10));
    chosenStartDate_ = DatePicker(this, 1003, du.Rect(37, 47, 56, 14));
    at_[1] = Label(this, 1016, du.Rect(96, 49, 23, 9));
    chosenStartTime_ = TimePicker(this, 1004, du.Rect(122, 47, 46, 14));
    recordingEndDate_ = DatePicker(this, 1005, du.Rect(37, 100, 56, 14));
    at_[2] = Label(this, 1017, du.Rect(95, 102, 23, 9));
    recordingEndTime_ = TimePicker(this, 1006, du.Rect(121, 100, 46, 14));
    to_ = Label(this, 1020, du.Rect(9, 128, 25, 10));
    chosenEndDate_ = DatePicker(this, 1007, du.Rect(37, 126, 56, 14));
    at_[3] = Label(this, 1018, du.Rect(95, 128, 23, 9));
    chosenEndTime_ = TimePicker(this, 1008, du.Rect(121, 126, 46, 14));
    recordingStartDate_->setEnabled(false);
    recordingStartTime_->setEnabled(false);
    recordingEndDate_->setEnabled(false);
    recordingEndTime_->setEnabled(false);

    file_ = Button(this, 1000, du.Rect(181, 7, 59, 24));
    evaluate_ = Button(this, 1009, du.Rect(249, 7, 59, 24));
    evaluate_->setEnabled(false);
    reset_ = Button(this, 1010, du.Rect(181, 134, 59, 24));
    language_ = Button(this, 1014, du.Rect(249, 134, 59, 24));
    info_ = new QLabel(this);
    info_->setObjectName("1002");
    info_->setGeometry(du.Rect(186, 63, 118, 69));
    infoWidth_ = info_->width();
    info_->setWordWrap(false);
    icon_ = new QLabel(this);
    icon_->setPixmap(AppIcon().pixmap(du.X(20), du.X(20)));
    icon_->setGeometry(du.Rect(234, 37, 20, 20));

    connect(file_, &QPushButton::clicked, this, &CKWSekundeDlg::OpenRecording);
    connect(evaluate_, &QPushButton::clicked, this, &CKWSekundeDlg::OnEvaluate);
    connect(reset_, &QPushButton::clicked, this, &CKWSekundeDlg::OnReset);
    connect(language_, &QPushButton::clicked, this, &CKWSekundeDlg::OnLanguage);

    // The about box: the platform offers no system menu to extend, so it sits in the dialog's
    // context menu and on F1.
    auto* about = new QAction(Text(101).remove('&'), this);
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, &CKWSekundeDlg::ShowAbout);
    addAction(about);

    SetDateFormats();
    ResetPickers();
    layoutFlag_ = 1;
}

CKWSekundeDlg::~CKWSekundeDlg() { recording_.Close(); }

QWidget* CKWSekundeDlg::Control(int id) const { return findChild<QWidget*>(QString::number(id)); }

QString CKWSekundeDlg::InfoText() const { return info_->text(); }

Qt::Alignment CKWSekundeDlg::InfoAlignment() const { return info_->alignment(); }

void CKWSekundeDlg::SetDateFormats() {
    for (QDateEdit* d :
         {recordingStartDate_, recordingEndDate_, chosenStartDate_, chosenEndDate_}) {
        d->setDisplayFormat("dd/MM/yyyy");
    }
}

void CKWSekundeDlg::SetInfo(int stringId, Qt::Alignment alignment) {
    SetInfoText(Text(stringId));
    info_->setAlignment(alignment | Qt::AlignTop);
}

void CKWSekundeDlg::SetInfoText(const QString& text) {
    // The info area was laid out for a narrower face: let a line that would be cut use the room
    // up to the dialog's edge, and shrink the font only if even that is too little.
    info_->setText(text);
    QFont font = this->font();
    const int room = width() - info_->x() - 4;
    for (;;) {
        int widest = 0;
        const QFontMetrics m(font);
        for (const QString& line : text.split('\n'))
            widest = std::max(widest, m.horizontalAdvance(line));
        info_->resize(std::max(infoWidth_, std::min(widest + 2, room)), info_->height());
        if (widest + 2 <= room || font.pointSizeF() <= 6.5) break;
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    info_->setFont(font);
}

void CKWSekundeDlg::ResetPickers() {
    // The upper limit is the end of the last recording; before any, the lowest date serves.
    const QDate last = recording_.IsOpen() ? recordingEndDate_->date() : kLowestDate;
    for (QDateEdit* d : {chosenStartDate_, chosenEndDate_, recordingStartDate_, recordingEndDate_})
        d->setDateRange(kLowestDate, std::max(last, kLowestDate));
    for (QDateEdit* d : {chosenStartDate_, chosenEndDate_, recordingStartDate_, recordingEndDate_})
        d->setDate(kLowestDate);
    SetInfo(142, Qt::AlignHCenter);
}

void CKWSekundeDlg::OnReset() {
    recording_.Close();
    SetDateFormats();
    ResetPickers();
    evaluate_->setEnabled(false);
}

int64_t CKWSekundeDlg::PickerTime(QDateEdit* date, QTimeEdit* time) const {
    kws::rec::LocalTimeConverter converter;
    const QDate d = date->date();
    const QTime t = time->time();
    int64_t out = 0;
    converter.ToTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), out);
    return out;
}

void CKWSekundeDlg::SetPicker(QDateEdit* date, QTimeEdit* time, int64_t t) {
    kws::rec::LocalFields f{};
    kws::rec::LocalFieldsOf(t, f);
    date->setDate(QDate(static_cast<int>(f.year), f.month, f.day));
    time->setTime(QTime(f.hour, f.minute, f.second));
}

void CKWSekundeDlg::ShowRecording(int64_t start, int64_t end) {
    kws::rec::LocalFields s{}, e{};
    kws::rec::LocalFieldsOf(start, s);
    kws::rec::LocalFieldsOf(end, e);
    const QDate first(static_cast<int>(s.year), s.month, s.day),
        last(static_cast<int>(e.year), e.month, e.day);
    // All four pickers take the recording's dates, whatever the year (the pickers' own lower
    // limit lies in 1752).
    for (QDateEdit* d : {chosenStartDate_, chosenEndDate_, recordingStartDate_, recordingEndDate_})
        d->setDateRange(first, last);
    SetPicker(recordingStartDate_, recordingStartTime_, start);
    SetPicker(chosenStartDate_, chosenStartTime_, start);
    SetPicker(recordingEndDate_, recordingEndTime_, end);
    SetPicker(chosenEndDate_, chosenEndTime_, end);
    SetInfo(layoutFlag_ == 1 ? 139 : 140, Qt::AlignLeft);
    evaluate_->setEnabled(true);
}

void CKWSekundeDlg::FollowRecordingFile(const QString& path) {
    if (!OpenRecordingFile(path)) return;
    followNext_ = true;
    OnEvaluate();
    followNext_ = false;
}

void CKWSekundeDlg::ShowNewEnd(int64_t end) {
    // The map of the lines takes up the lines appended meanwhile, so that the next evaluation
    // starts near its window again.
    int error = 0;
    recording_.Map().Extend(recording_.Source(), error);
    kws::rec::LocalFields e{};
    kws::rec::LocalFieldsOf(end, e);
    const QDate last(static_cast<int>(e.year), e.month, e.day);
    for (QDateEdit* d : {chosenStartDate_, chosenEndDate_, recordingStartDate_, recordingEndDate_})
        d->setMaximumDate(last);
    SetPicker(recordingEndDate_, recordingEndTime_, end);
    SetPicker(chosenEndDate_, chosenEndTime_, end);
}

void CKWSekundeDlg::Message(const QString& text, int icon) {
    Prompts::Get().Message(this, text, QString::fromStdString(kws::res::Text(138)),
                           static_cast<Prompts::Icon>(icon));
}

void CKWSekundeDlg::OpenRecording() {
    QSettings settings;
    QString folder = settings.value("Settings/LastFolder", QDir::homePath()).toString();
    if (!QDir(folder).exists()) folder = QDir::currentPath();
    const QString path = Prompts::Get().OpenFile(
        this, QString(), folder,
        Prompts::FileTypeFilter("TXT", "txt") + ";;" + Prompts::FileTypeFilter("CSV", "csv"));
    if (path.isEmpty()) return;
    settings.setValue("Settings/LastFolder", QFileInfo(path).absolutePath());
    OpenRecordingFile(path);
}

bool CKWSekundeDlg::OpenRecordingFile(const QString& path) {
    OnReset();
    kws::rec::OpenResult r;
    try {
        r = recording_.Open(path.toStdString());
    } catch (const std::bad_alloc&) {
        recording_.Close();
        ShowOutOfMemoryMessage(this);
        return false;
    }
    const std::string name = QFileInfo(path).fileName().toStdString();
    switch (r.error) {
        case kws::rec::OpenError::kNone: break;
        case kws::rec::OpenError::kNotRecording:
            Message(QString::fromStdString(kws::res::Format(110, name.c_str())), Prompts::kNoIcon);
            return false;
        default:
            // Message 108 carries the application's name as its caption.
            Prompts::Get().Message(
                this, QString::fromStdString(kws::res::Format(108, name.c_str(), r.category)),
                AppTitle());
            return false;
    }
    layoutFlag_ = recording_.Facts().layoutFlag;
    recordingPath_ = QFileInfo(path).absoluteFilePath();
    ShowRecording(recording_.Facts().startTime, recording_.Facts().endTime);
    return true;
}

bool CKWSekundeDlg::Evaluate(int64_t start, int64_t end) {
    const kws::rec::RecordingFacts& f = recording_.Facts();
    kws::rec::EvaluationOptions options;
    options.map = &recording_.Map();
    const auto status = kws::rec::Evaluate(recording_.Source(), f.headerLines, layoutFlag_, start,
                                           end, *samples_, *marks_, options);
    if (status.outOfMemory) {
        ShowOutOfMemoryMessage(this);
        return false;
    }
    if (!status.ok) {
        Prompts::Get().Message(
            this,
            QString::fromStdString(kws::res::Format(108, f.fileName.c_str(), kws::rec::kErrHardIO)),
            AppTitle());
        return false;
    }
    return true;
}

bool CKWSekundeDlg::EvaluateThreeCurves(int64_t start, int64_t end) { return Evaluate(start, end); }

bool CKWSekundeDlg::EvaluateSixCurves(int64_t start, int64_t end) { return Evaluate(start, end); }

void CKWSekundeDlg::OnEvaluate() {
    // One evaluation at a time, however often the button is pressed.
    if (evaluating_ || !recording_.IsOpen()) return;
    evaluating_ = true;
    try {
        RunEvaluation();
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory, the dialog stays as it was, less the samples.
        kws::rec::SampleArray().swap(*samples_);
        setEnabled(true);
        showNormal();
        ShowOutOfMemoryMessage(this);
    }
    evaluating_ = false;
}

void CKWSekundeDlg::RunEvaluation() {
    const int64_t chosenStart = PickerTime(chosenStartDate_, chosenStartTime_);
    const int64_t chosenEnd = PickerTime(chosenEndDate_, chosenEndTime_);
    const int64_t recordingStart = PickerTime(recordingStartDate_, recordingStartTime_);
    const int64_t recordingEnd = PickerTime(recordingEndDate_, recordingEndTime_);
    switch (kws::rec::CheckWindow(chosenStart, chosenEnd, recordingStart, recordingEnd)) {
        case kws::rec::WindowCheck::kEndBeforeStart: Message(Text(106), Prompts::kNoIcon); return;
        case kws::rec::WindowCheck::kOutsideRecording:
            Message(Text(105), Prompts::kExclamation);
            return;
        case kws::rec::WindowCheck::kOk: break;
    }
    samples_ = std::make_shared<kws::rec::SampleArray>();
    marks_ = std::make_shared<kws::rec::SampleMarks>();
    const bool ok = layoutFlag_ == 1 ? EvaluateThreeCurves(chosenStart, chosenEnd)
                                     : EvaluateSixCurves(chosenStart, chosenEnd);
    if (!ok) return;
    showMinimized();
    int result = -1;
    bool outOfMemory = false;
    {
        CNewGraph dialog(layoutFlag_, nullptr);
        dialog.SetData(samples_);
        dialog.SetMarks(marks_);
        emit resultDialogOpening(&dialog);
        // The progress window of the build lets events run: this dialog takes no input (Reset,
        // Datei..., another evaluation) until the curves are built.
        setEnabled(false);
        dialog.Build();
        setEnabled(true);
        outOfMemory = dialog.OutOfMemory();
        CNewGraph::FollowSource follow;
        follow.path = recordingPath_;
        follow.headerLines = recording_.Facts().headerLines;
        follow.layoutFlag = layoutFlag_;
        follow.start = chosenStart;
        follow.end = chosenEnd;
        follow.endsAtRecordingEnd = chosenEnd == recordingEnd;
        follow.map = &recording_.Map();
        dialog.SetFollowSource(follow);
        if (!outOfMemory && followNext_) {
            // Shown first, so that a message about the file appears over it.
            QTimer::singleShot(0, &dialog, [&dialog] { dialog.SetFollowing(true); });
        }
        followNext_ = false;
        if (!outOfMemory) result = dialog.DoModal();
        if (dialog.EndTime() > recordingEnd) ShowNewEnd(dialog.EndTime());
    }
    if (outOfMemory) kws::rec::SampleArray().swap(*samples_);
    showNormal();
    activateWindow();
    if (outOfMemory) {
        ShowOutOfMemoryMessage(this);
    } else if (result == -1) {
        Prompts::Get().Message(this, QStringLiteral("Dialog box could not be created!"),
                               AppTitle());
    }
}

void CKWSekundeDlg::ApplyLanguage(int code) {
    SelectResourceLanguage(code);
    const bool evaluationEnabled = evaluate_->isEnabled();
    setWindowTitle(Text(138));
    startGroup_->setTitle(Text(143));
    endGroup_->setTitle(Text(144));
    for (QLabel* l : at_) l->setText(Text(145));
    to_->setText(Text(146));
    from_->setText(Text(147));
    file_->setText(Text(148));
    evaluate_->setText(Text(149));
    // The alignment stays as it was.
    const Qt::Alignment alignment = info_->alignment();
    SetInfoText(Text(!evaluationEnabled ? 142 : layoutFlag_ == 1 ? 139 : 140));
    info_->setAlignment(alignment);
    for (QAction* a : actions()) a->setText(Text(101).remove('&'));
}

void CKWSekundeDlg::OnLanguage() {
    const QString path = SettingsPath();
    CLangSelect dialog(this);
    const int code = dialog.DoModal();
    ApplyLanguage(code);
    const QString error = StoreLanguageCode(path, code);
    if (!error.isEmpty()) Message(error, Prompts::kExclamation);
}

void CKWSekundeDlg::ShowAbout() {
    CAboutDlg about(this);
    Prompts::Get().Exec(about);
}

void CKWSekundeDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addActions(actions());
    menu.exec(event->globalPos());
}

void CKWSekundeDlg::keyPressEvent(QKeyEvent* event) {
    // Enter without a default button does nothing; Escape closes the dialog (and the program).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(event);
}

void CKWSekundeDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void CKWSekundeDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    OpenRecordingFile(urls.first().toLocalFile());
}
