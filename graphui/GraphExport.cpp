#include "graphui/GraphExport.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>
#include <cstring>

#include "graph/GraphContainer.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/GraphFrame.h"
#include "graphui/ResultDialog.h"
#include "image/ImageHandle.h"
#include "image/ImageHandleQt.h"
#include "print/Page.h"
#include "res/Resources.h"

namespace {

FCImagePropertyList DefaultQuality() {
    FCImagePropertyList p;
    p.SetValue(kImagePropertySaveQuality, "-1");
    return p;
}

// Clears the legend's selection and lets the legend redraw its series list (and refresh its point
// list) before the pixels are taken.
void PrepareForCapture(CNewGraph& dialog) {
    if (CGraphFrame* frame = dialog.Frame()) frame->LegendBar()->SeriesList()->setCurrentRow(-1);
    if (CGraphWnd* graph = dialog.Graph()) graph->Redraw(0);
}

}  // namespace

bool CaptureWidget(QWidget* widget, const QRect& rect, FCObjImage& image) {
    if (widget == nullptr || rect.isEmpty()) return false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr && screen->depth() <= 8) return false;
    const QImage pixels = widget->grab(rect).toImage().convertToFormat(QImage::Format_BGR888);
    if (pixels.isNull()) return false;
    if (!image.CreateBlank(pixels.width(), pixels.height(), 24)) return false;
    for (int y = 0; y < pixels.height(); ++y) {
        std::memcpy(image.GetBits(y), pixels.constScanLine(y),
                    static_cast<size_t>(pixels.width()) * 3);
    }
    return true;
}

bool SaveGraphImage(CNewGraph& dialog, const QString& path) {
    CGraphWnd* graph = dialog.Graph();
    if (graph == nullptr) return false;
    PrepareForCapture(dialog);
    FCObjImage image;
    if (!CaptureWidget(graph, graph->rect(), image)) return false;
    image.ResizeNearest(1280, 1024);
    return image.SaveFile(path.toStdString(), DefaultQuality());
}

void OnSaveCommand(CNewGraph& dialog) {
    CGraphWnd* graph = dialog.Graph();
    if (graph == nullptr) return;
    PrepareForCapture(dialog);
    FCObjImage image;
    const bool captured = CaptureWidget(graph, graph->rect(), image);
    const QString path =
        Prompts::Get().SaveFile(&dialog, QString(), QStringLiteral("bild00"),
                                "PNG Files (*.png);;JPG Files (*.jpg);;BMP Files (*.bmp)", "png");
    if (path.isEmpty() || !captured) return;
    image.ResizeNearest(1280, 1024);
    image.SaveFile(path.toStdString(), DefaultQuality());
}

bool PrintGraphPage(CNewGraph& dialog, QPrinter& printer) {
    CGraphWnd* graph = dialog.Graph();
    CGraphFrame* frame = dialog.Frame();
    if (graph == nullptr || frame == nullptr) return false;
    PrepareForCapture(dialog);
    CGraphContainer* container = graph->Container();
    QWidget* legendClient = frame->LegendBar()->widget();
    const QRect L = legendClient->rect();
    // The plot with its rulers, where it sits in the graph window (less 2 pixels on the left),
    // and the names part of the legend, in the series list's coordinates.
    const QRect plot(container->mapTo(graph, QPoint(2, 0)),
                     QSize(container->width() - 2, container->height()));
    const QRect legend(QPoint(L.left() + 2, L.top()),
                       QPoint(L.left() + L.width() / 3 - 5 - 1, L.top() + L.height() - 10 - 1));

    // The two bitmap files go to a folder of this print alone, never over a user's files.
    QTemporaryDir folder;
    if (!folder.isValid()) return false;
    const QString graphFile = folder.filePath("skgraph.bmp"),
                  legendFile = folder.filePath("skleyend.bmp");
    InstallImageFactory(new FCImageHandleFactory_QtImage());
    FCObjImage plotImage, legendImage;
    if (CaptureWidget(graph, plot, plotImage))
        plotImage.SaveFile(graphFile.toStdString(), DefaultQuality());
    if (CaptureWidget(frame->LegendBar()->SeriesList(), legend, legendImage)) {
        legendImage.SaveFile(legendFile.toStdString(), DefaultQuality());
    }

    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setDocName(QApplication::applicationDisplayName());
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    bool ok = true;
    {
        CPage page(QRect(0, 0, printer.width(), printer.height()), &painter, 1);
        page.SetFont("MS Sans Serif");
        double row = page.Print(0.0, 0.0, 0u, 16, "%s", " ");
        row = page.Print(row, 0.0, 0u, 16, "%s", " ");
        page.Print(row, 0.0, 0u, 16, "%s", " ");
        row = page.Print(0.0, 0.0, 0x81u, 16, "%s", dialog.Title().toUtf8().constData());
        row = page.Print(row, 0.0, 0u, 16, "%s", " ");
        const double r = page.Print(row, 0.0, 0u, 16, "%s", " ");
        page.PrintBitmapFile(r, 0.4, r + 7.0, 8.5, graphFile.toUtf8().constData());
        page.PrintBitmapFile(r + 3.15, 8.8, r + 4.6, 12.15, legendFile.toUtf8().constData());
        page.Print(r + 4.65, 7.85, 0x81u, 12, "%s", kws::res::Text(134).c_str());
    }
    ok = painter.end();
    if (!ok) printer.abort();
    return ok;
}

void OnPrintCommand(CNewGraph& dialog) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog setup(&printer, &dialog);
    if (Prompts::Get().Exec(setup) != QDialog::Accepted) return;
    PrintGraphPage(dialog, printer);
}

void InstallGraphCommands() {
    CNewGraph::saveCommand = &OnSaveCommand;
    CNewGraph::printCommand = &OnPrintCommand;
}
