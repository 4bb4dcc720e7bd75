// The language choice (dialog 131) and the about box (dialog 100).
#pragma once

#include <QDialog>

// Six buttons, one per language; the result is the language code (Escape: German).
class CLangSelect : public QDialog {
    Q_OBJECT

public:
    explicit CLangSelect(QWidget* parent = nullptr);
    // Runs the dialog through the prompt interface; the code of the pressed button, or 2.
    int DoModal();
    // Escape and the close box give the cancel result, 2: German.
    void reject() override { done(2); }
};

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
