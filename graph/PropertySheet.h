// A property sheet: pages on tabs, OK and Cancel. On OK every page takes over and checks its
// fields; a page that refuses keeps the sheet open.
#pragma once

#include <QDialog>
#include <QWidget>

#include <vector>

class QTabWidget;

class CPropertyPage : public QWidget {
    Q_OBJECT

public:
    explicit CPropertyPage(const QString& title) : title_(title) {}
    const QString& Title() const { return title_; }
    // With `save`: read and check the fields (false, after telling the user, keeps the sheet
    // open); without: show the values in the fields.
    virtual bool UpdateData(bool save) = 0;
    // Called once when the sheet first shows the page.
    virtual void OnInitDialog() {}

private:
    QString title_;
};

class CPropertySheet : public QDialog {
    Q_OBJECT

public:
    CPropertySheet(const QString& caption, QWidget* parent);
    // The page stays owned by whoever made it.
    void AddPage(CPropertyPage* page);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* Page(int i) const { return pages_[static_cast<size_t>(i)]; }
    // Shows the pages' values; done once before the sheet is run.
    void Prepare();

    void accept() override;

private:
    QTabWidget* tabs_;
    std::vector<CPropertyPage*> pages_;
    bool prepared_ = false;
};

// A line of the input checks, in the current language.
QString CheckMessage(const char* key);
