// A small always-on-top window with up to four lines of text, a progress bar and a cancel
// button, for long work on the user-interface thread. The work advances it, lets it pump the
// event queue, and polls its cancelled flag. The percentage shows in the caption; the window
// remembers its position in the settings ("Settings/X", "Settings/Y").
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressWnd : public QWidget {
    Q_OBJECT

public:
    // Pumping happens at most this often (the first time at once); in between it costs next to
    // nothing.
    static constexpr int kPumpIntervalMs = 30;

    CProgressWnd(QWidget* parent, const QString& title, bool smooth);
    ~CProgressWnd() override;

    void SetBarRange(int lower, int upper, int step);
    int SetBarPosition(int position);
    int Advance() { return SetBarPosition(previousPosition_ + step_); }
    void SetMessageText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Lets waiting events run (on a time budget); with `cancelOnEscape`, Escape pressed in this
    // window or in the parent's window cancels.
    void PumpPendingMessages(bool cancelOnEscape = true);
    bool Cancelled() const { return cancelled_; }
    void ShowProgress();
    void HideProgress();
    // Saves the position, then closes the window for good.
    void DestroyWindow();
    bool Exists() const { return exists_; }

    QString Title() const { return title_; }
    QString MessageText() const;
    int Percent() const { return previousPercent_; }
    int BarPosition() const { return barPosition_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Cancels as the button or Escape does.
    void Cancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Layout();
    bool IsWorkWindow(QObject* object) const;
    void RestorePosition();
    void SavePosition();

    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QString title_ = QStringLiteral("Progress");
    QString cancelLabel_ = QStringLiteral(" Cancel ");
    int lower_ = 0, upper_ = 100, step_ = 1;
    int previousPosition_ = 0, previousPercent_ = 0;
    int barPosition_ = 0;  // where the bar stands (the widget follows in visible steps)
    int shownStep_ = -1;
    int textLines_ = 4;
    bool cancelled_ = false;
    bool exists_ = false;
    bool filtering_ = false;
    QElapsedTimer sincePump_;
};
