// The result of one evaluation: a dialog whose graph window shows the samples as three or six
// curves, built under a progress window, with the legend docked above the plot, titled with the
// evaluated span, and the buttons "Speichern" and "Ausdrucken".
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

#include "recording/SampleRecord.h"

class CGraphWnd;
class CGraphFrame;
class QPushButton;

class CNewGraph : public QDialog {
    Q_OBJECT

public:
    // `kind` is the layout flag: nonzero for the three-curve layout.
    CNewGraph(int kind, QWidget* parent);
    ~CNewGraph() override;

    // The samples to show: a copy, or an array shared with the caller, which must not change it
    // while the dialog lives (a month of samples is 145 MB; the main dialog shares its array).
    // The curves read their points from these samples in place and keep them alive.
    void SetData(const kws::rec::SampleArray& samples);
    void SetData(std::shared_ptr<const kws::rec::SampleArray> samples);
    // Builds the graph and runs the dialog; 0 when it closes (also after a cancelled build).
    int DoModal();
    // Builds the graph without running the dialog (the headless image and page export, and the
    // main dialog, which takes no input meanwhile); false when the build was cancelled or ran out
    // of memory. The graph is built once: later calls return the first result.
    bool Build();
    // Whether the build ran out of memory; the graph is then released.
    bool OutOfMemory() const { return outOfMemory_; }

    CGraphWnd* Graph() const { return graph_; }
    CGraphFrame* Frame() const;
    const QString& Title() const { return title_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* PrintButton() const { return print_; }
    int Kind() const { return kind_; }

    // What "Speichern" and "Ausdrucken" do (installed by the saving and printing code).
    static std::function<void(CNewGraph&)> saveCommand;
    static std::function<void(CNewGraph&)> printCommand;

    // The series names and colours of a layout, in slot order.
    struct SeriesLook {
        int stringId;
        uint32_t color;  // COLORREF
    };
    static std::vector<SeriesLook> SeriesOf(int kind);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool OnInitDialog();
    bool FillGraph();
    void OnClose();

    int kind_;
    std::shared_ptr<const kws::rec::SampleArray> samples_;
    CGraphWnd* graph_ = nullptr;
    QPushButton* save_;
    QPushButton* print_;
    QString title_;
    bool buildTried_ = false;
    bool built_ = false;
    bool outOfMemory_ = false;
};
