// The pages of the graph's property sheet and the small title prompt.
#pragma once

#include <QDialog>

#include <memory>
#include <vector>

#include "graph/GraphBase.h"
#include "graph/GraphList.h"
#include "graph/GraphProps.h"
#include "graph/PropertySheet.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class CGraphWnd;

// View range and display options of the panel.
class CGraphPropertyPage : public CPropertyPage {
    Q_OBJECT

public:
    CGraphPropertyPage();
    bool UpdateData(bool save) override;

    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool markPoints = false, trackMouse = false, grid = false;

private:
    QLineEdit* edits_[4];
    QCheckBox* markBox_;
    QCheckBox* trackBox_;
    QCheckBox* gridBox_;
};

// Titles, units and decimals of both axes.
class CAxisPropertyPage : public CPropertyPage {
    Q_OBJECT

public:
    CAxisPropertyPage();
    bool UpdateData(bool save) override;

    long horizontalPrecision = 0;
    QString horizontalName, horizontalUnits;
    long verticalPrecision = 0;
    QString verticalName, verticalUnits;

private:
    QLineEdit* edits_[6];
};

class CGraphicsPropertyPage;

// The series list of the graphics page: row i shows copy i of the page.
class CGraphPropsListBox : public CGraphList {
    Q_OBJECT

public:
    explicit CGraphPropsListBox(QWidget* parent = nullptr);
    bool ItemLook(int row, COLORREF& color, QString& name) const override;
    bool ItemShown(int row) const override;
};

// Colour, name and visibility of each series, on copies applied only on OK.
class CGraphicsPropertyPage : public CPropertyPage, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    explicit CGraphicsPropertyPage(CGraphWnd* graph);
    ~CGraphicsPropertyPage() override;

    bool UpdateData(bool save) override;
    void OnInitDialog() override;

    const std::vector<std::unique_ptr<CGraphProps>>& Copies() const { return copies_; }
    CGraphPropsListBox* List() const { return list_; }
    QPushButton* ShowHideButton() const { return showHide_; }
    QString selectedName;

    void OnColor();
    void OnName();
    void OnShowHide();
    void OnShowAll();
    void OnSelectionChange();

private:
    CGraphProps* Selected() const;
    void UpdateShowHideText();

    std::vector<std::unique_ptr<CGraphProps>> copies_;
    CGraphPropsListBox* list_;
    QLineEdit* nameEdit_;
    QPushButton* showHide_;
};

// One-field prompt for a series name.
class CGraphTitlePrompt : public QDialog {
    Q_OBJECT

public:
    explicit CGraphTitlePrompt(QWidget* parent = nullptr);
    int DoModal();
    QString title;

private:
    QLineEdit* edit_;
};
