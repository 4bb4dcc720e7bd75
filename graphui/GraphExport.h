// "Speichern" and "Ausdrucken" of the result dialog: the graph drawn as an image file of
// 1280 x 1024, and the title, plot and legend on one landscape page, each drawn at its own
// resolution. Failures are reported with their reason; running out of memory throws
// std::bad_alloc to the command's caller.
#pragma once

#include <QString>

#include <cstdio>
#include <functional>

class CNewGraph;
class QPrinter;

// Draws the graph window's contents (legend, rulers, plot) into a picture of 1280 x 1024 and
// saves it in the format of the path's extension. On failure `failure` gets the message (text
// 151 with the reason).
bool SaveGraphImage(CNewGraph& dialog, const QString& path, QString* failure = nullptr);

// Writes a text output of a window (`write` fills it and returns false on a failed write) where
// `path` leads: a regular file through a temporary file beside it, a device or FIFO as a stream.
// On failure `failure` gets the message: text 151 with the reason, as for a picture.
bool SaveTextOutput(const QString& path, const std::function<bool(std::FILE*)>& write,
                    QString* failure);

// How much smaller than its inches the page's layout is drawn on a printable area of the given
// size (inches), `rowHeight` being the height of a title row: 1 where it fits.
double PrintedLayoutScale(double pageWidth, double pageHeight, double rowHeight);

// Prints title, plot and legend on one landscape page of `printer`; false when the page failed
// (the document is then aborted), with the message in `failure`. A page printed into a file
// replaces an earlier file only when it is complete; a device, a FIFO or standard output ("-")
// gets the complete page written into it. Plot and legend are drawn with the page's
// painter at the printer's resolution; no files besides the page are written. A paper too small
// for the layout gets all of it drawn smaller.
bool PrintGraphPage(CNewGraph& dialog, QPrinter& printer, QString* failure = nullptr);

// A box on the printed page, in inches.
struct PageBox {
    double top, left, bottom, right;
};
// The legend's box below the title row `row`: 3.35 x 1.45 inches, 8.8 inches from the left and
// 3.15 below the row; scaled down about its top-left corner when the printable width
// `pageWidth` ends before its right edge.
PageBox PrintedLegendBox(double row, double pageWidth);

// The commands with their dialogs: the save-file dialog, the print setup dialog. Both report a
// failure in a message box.
void OnSaveCommand(CNewGraph& dialog);
void OnPrintCommand(CNewGraph& dialog);

// Wires "Speichern" and "Ausdrucken" of every result dialog to the commands above.
void InstallGraphCommands();
