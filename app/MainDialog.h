// The main dialog: open a recording, see its first and last time, choose a window with the
// date and time pickers, evaluate it, reset, and choose the language.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>

#include "app/Language.h"
#include "recording/Recording.h"
#include "recording/SampleMarks.h"
#include "recording/SampleRecord.h"

class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimeEdit;

class CKWSekundeDlg : public QDialog {
    Q_OBJECT

public:
    explicit CKWSekundeDlg(const QString& workingFolder, QWidget* parent = nullptr);
    ~CKWSekundeDlg() override;

    // "Datei...": the file dialog, then OpenRecordingFile.
    void OpenRecording();
    // Opens `path` as "Datei..." does after its file dialog; false after a message.
    bool OpenRecordingFile(const QString& path);
    // Opens `path`, evaluates its whole recording as "Auswertung" with the pickers untouched
    // does, and follows it in the result dialog.
    void FollowRecordingFile(const QString& path);
    // "Auswertung": checks the window, evaluates, shows the result dialog.
    void OnEvaluate();
    void OnReset();
    void OnLanguage();
    void ApplyLanguage(int code);
    void ShowAbout();

    bool EvaluateThreeCurves(int64_t start, int64_t end);
    bool EvaluateSixCurves(int64_t start, int64_t end);

    // State, for the program's tests.
    int LayoutFlag() const { return layoutFlag_; }
    const kws::rec::SampleArray& Samples() const { return *samples_; }
    const kws::rec::Recording& Recording() const { return recording_; }
    QString InfoText() const;
    Qt::Alignment InfoAlignment() const;
    QString SettingsPath() const { return LanguageFilePath(workingFolder_); }
    // The picker or control with this id.
    QWidget* Control(int id) const;

signals:
    // Emitted right before the result dialog runs (tests use it to look at it).
    void resultDialogOpening(QDialog* dialog);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SetDateFormats();
    void ResetPickers();
    void ShowRecording(int64_t start, int64_t end);
    void SetInfo(int stringId, Qt::Alignment alignment);
    void SetInfoText(const QString& text);
    int64_t PickerTime(QDateEdit* date, QTimeEdit* time) const;
    void SetPicker(QDateEdit* date, QTimeEdit* time, int64_t t);
    bool Evaluate(int64_t start, int64_t end);
    // "Auswertung" after its guard against running twice; throws std::bad_alloc.
    void RunEvaluation();
    void Message(const QString& text, int icon);
    // The recording grew to `end` while the result dialog followed it.
    void ShowNewEnd(int64_t end);

    QString workingFolder_;
    kws::rec::Recording recording_;
    int layoutFlag_ = 1;
    // The latest evaluation; shared with the result dialog, a new array for every evaluation.
    std::shared_ptr<kws::rec::SampleArray> samples_ = std::make_shared<kws::rec::SampleArray>();
    // Which of its records are fillers and padding.
    std::shared_ptr<kws::rec::SampleMarks> marks_ = std::make_shared<kws::rec::SampleMarks>();
    bool evaluating_ = false;
    QString recordingPath_;
    bool followNext_ = false;  // the next result dialog follows its recording at once

    QGroupBox* startGroup_;
    QGroupBox* endGroup_;
    QDateEdit* recordingStartDate_;  // 1001
    QTimeEdit* recordingStartTime_;  // 1011
    QDateEdit* chosenStartDate_;     // 1003
    QTimeEdit* chosenStartTime_;     // 1004
    QDateEdit* recordingEndDate_;    // 1005
    QTimeEdit* recordingEndTime_;    // 1006
    QDateEdit* chosenEndDate_;       // 1007
    QTimeEdit* chosenEndTime_;       // 1008
    QLabel* at_[4];                  // 1015 to 1018
    QLabel* from_;                   // 1019
    QLabel* to_;                     // 1020
    QPushButton* file_;              // 1000
    QPushButton* evaluate_;          // 1009
    QPushButton* reset_;             // 1010
    QPushButton* language_;          // 1014
    QLabel* info_;                   // 1002
    QLabel* icon_;
    int infoWidth_ = 0;
};
