#include "app/HeadlessExport.h"

#include <QApplication>
#include <QPrinter>

#include <new>

#include "graphui/GraphExport.h"
#include "graphui/OutOfMemory.h"
#include "graphui/ResultDialog.h"

std::string ExportEvaluation(const kws::app::EvaluationJob& job) {
    // Allocation failures in event handlers are noted for this function, never shown.
    AllocationWatch watch;
    CNewGraph dialog(job.layoutFlag, nullptr);
    // The dialog only reads the samples while it lives: share them instead of copying.
    dialog.SetData(std::shared_ptr<const kws::rec::SampleArray>(
        job.samples, [](const kws::rec::SampleArray*) {}));
    if (!dialog.Build()) {
        if (dialog.OutOfMemory()) throw std::bad_alloc();
        return "the graph could not be built";
    }
    dialog.show();
    QApplication::processEvents();
    if (TakeAllocationFailure()) throw std::bad_alloc();
    QString failure;
    if (!job.imagePath.empty() &&
        !SaveGraphImage(dialog, QString::fromStdString(job.imagePath), &failure)) {
        return failure.toStdString();
    }
    if (!job.pdfPath.empty()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(job.pdfPath));
        printer.setPageSize(QPageSize(QPageSize::A4));
        if (!PrintGraphPage(dialog, printer, &failure)) return failure.toStdString();
    }
    if (TakeAllocationFailure()) throw std::bad_alloc();
    dialog.hide();
    return {};
}
