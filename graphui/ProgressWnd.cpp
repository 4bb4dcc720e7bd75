#include "graphui/ProgressWnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStyle>

#include <algorithm>
#include <cstdarg>

#include "res/Resources.h"

namespace {
// The cancel button's word in the current language; the label has a blank on either side.
constexpr const char* kTextCancel = "G.cancel";
}  // namespace

CProgressWnd::CProgressWnd(QWidget* parent, const QString& title, bool smooth)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::CustomizeWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    title_ = title;
    cancelLabel_ = " " + QString::fromStdString(kws::res::Text(kTextCancel)) + " ";
    setWindowTitle(title_);
    setCursor(Qt::BusyCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    const QFont font = QApplication::font("QMessageBox");
    text_ = new QLabel(this);
    text_->setObjectName("11");
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Long lines wrap at the text width; the window grows for more than four lines.
    text_->setWordWrap(true);
    text_->setFont(font);
    bar_ = new QProgressBar(this);
    bar_->setObjectName("12");
    bar_->setTextVisible(false);
    if (!smooth) bar_->setStyleSheet("QProgressBar::chunk { width: 8px; margin: 1px; }");
    cancel_ = new QPushButton(cancelLabel_, this);
    cancel_->setObjectName("10");
    cancel_->setFont(font);
    connect(cancel_, &QPushButton::clicked, this, &CProgressWnd::Cancel);
    resize(390, 130);
    Layout();
    exists_ = true;
    RestorePosition();
    // While another window runs modally (the main dialog does), input to every window outside
    // it is blocked, this one's Cancel button and Escape included: the progress window then
    // takes the input itself for as long as it is up.
    if (QApplication::activeModalWidget() != nullptr) setWindowModality(Qt::ApplicationModal);
    show();
}

CProgressWnd::~CProgressWnd() {
    if (exists_) DestroyWindow();
    if (filtering_) qApp->removeEventFilter(this);
}

void CProgressWnd::Layout() {
    // Four lines of "M" high (more when the wrapped message needs them) and 390 wide for the
    // text; the button right-aligned under it.
    const QFontMetrics text(text_->font());
    const int edgeX = style()->pixelMetric(QStyle::PM_DefaultFrameWidth), edgeY = edgeX;
    const int textWidth = 390;
    const int wrapped =
        text.boundingRect(QRect(0, 0, textWidth, 100000), Qt::TextWordWrap, text_->text()).height();
    const int textHeight = std::max(text.height() * textLines_, wrapped);
    text_->setGeometry(10, 10, textWidth, textHeight);
    const QFontMetrics button(cancel_->font());
    const int bw = button.horizontalAdvance(cancelLabel_ + "  ") + 4 * edgeX;
    const int bh = button.height() + 3 * edgeY;
    const QRect buttonRect(10 + textWidth - bw, 10 + textHeight + 10, bw, bh);
    cancel_->setGeometry(buttonRect);
    bar_->setGeometry(10, buttonRect.top() + edgeY, buttonRect.left() - 10 - 10, bh - 2 * edgeY);
    setFixedSize(textWidth + 20, textHeight + bh + 30);
}

void CProgressWnd::RestorePosition() {
    QSettings settings;
    const int x = settings.value("Settings/X", -1).toInt();
    const int y = settings.value("Settings/Y", -1).toInt();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(0, 0);
    if (x >= 0 && x < size.width() && y >= 0 && y < size.height()) {
        move(x, y);
    } else if (screen != nullptr) {
        move(screen->geometry().center() - rect().center());
    }
}

void CProgressWnd::SavePosition() {
    QSettings settings;
    settings.setValue("Settings/X", pos().x());
    settings.setValue("Settings/Y", pos().y());
}

void CProgressWnd::SetBarRange(int lower, int upper, int step) {
    if (!exists_) return;
    lower_ = lower;
    upper_ = upper;
    step_ = step;
    shownStep_ = -1;
    bar_->setRange(lower, upper);
}

int CProgressWnd::SetBarPosition(int position) {
    if (!exists_) return previousPosition_;
    if (isHidden()) show();
    const int previousBar = barPosition_;
    barPosition_ = position;
    previousPosition_ = position;
    const int percent = upper_ <= lower_
                            ? 0
                            : static_cast<int>((static_cast<double>(position) - lower_) * 100.0 /
                                                   (static_cast<double>(upper_) - lower_) +
                                               0.5);
    if (percent != previousPercent_) {
        previousPercent_ = percent;
        setWindowTitle(QString::fromStdString(
            kws::res::FormatText("%s [%d%%]", title_.toStdString().c_str(), percent)));
    }
    // The bar widget is moved only when the change can show: a few hundred times over the whole
    // range rather than millions of times.
    const double span = std::max(1.0, static_cast<double>(upper_) - lower_);
    const int step = static_cast<int>((static_cast<double>(position) - lower_) * 1000.0 / span);
    if (step != shownStep_) {
        shownStep_ = step;
        bar_->setValue(position);
    }
    return previousBar;
}

void CProgressWnd::SetMessageText(const char* format, ...) {
    if (!exists_) return;
    va_list args;
    va_start(args, format);
    std::string text = kws::res::VFormatText(format, args);
    va_end(args);
    if (text.size() > 511) text.resize(511);
    text_->setText(QString::fromUtf8(text.c_str()));
    Layout();
}

QString CProgressWnd::MessageText() const { return text_->text(); }

void CProgressWnd::PumpPendingMessages(bool cancelOnEscape) {
    if (cancelled_ || !exists_) return;
    // Pumping after every sample costs more than the work; a few dozen times a second keeps
    // the window alive and the cancel button answering. The first call pumps at once, so that
    // the window shows painted from the start of the work.
    if (sincePump_.isValid() && sincePump_.elapsed() < kPumpIntervalMs) return;
    sincePump_.start();
    if (cancelOnEscape && !filtering_) {
        qApp->installEventFilter(this);
        filtering_ = true;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, kPumpIntervalMs);
}

bool CProgressWnd::eventFilter(QObject* watched, QEvent* event) {
    // Escape cancels only when it is meant for the work: pressed in this window or in the window
    // the work is for, never in another window (a message box, the main dialog).
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && exists_ && !cancelled_ &&
        IsWorkWindow(watched)) {
        Cancel();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool CProgressWnd::IsWorkWindow(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return false;
    const QWidget* window = widget->window();
    return window == this || (parentWidget() != nullptr && window == parentWidget()->window());
}

void CProgressWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (!cancelled_) Cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CProgressWnd::closeEvent(QCloseEvent* event) {
    // The close box cancels like the button.
    event->ignore();
    if (!cancelled_) Cancel();
}

void CProgressWnd::Cancel() {
    SavePosition();
    cancelled_ = true;
    hide();
    if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) main->activateWindow();
}

void CProgressWnd::ShowProgress() {
    if (!exists_ || isVisible()) return;
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    repaint();
}

void CProgressWnd::HideProgress() {
    if (exists_ && isVisible()) hide();
}

void CProgressWnd::DestroyWindow() {
    if (!exists_) return;
    SavePosition();
    exists_ = false;
    if (filtering_) {
        qApp->removeEventFilter(this);
        filtering_ = false;
    }
    hide();
}
