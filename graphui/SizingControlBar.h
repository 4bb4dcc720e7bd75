// A docking bar the user can resize at its inner edge, with a gripper and a small close button,
// sharing its dock row with other such bars and keeping its sizes per docking state.
//
// Built on QDockWidget: dragging the bar to float or re-dock, the inner edge's resizing and
// sharing a row are Qt's dock machinery. This class adds the gripper title bar with its close
// button (hot and pushed states), the minimum size of 33 x 32 (or the row's largest minimum),
// the separate horizontal, vertical and floating sizes, and keeping them in the settings.
#pragma once

#include <QDockWidget>
#include <QSize>

class QMainWindow;

class CSizingControlBar : public QDockWidget {
    Q_OBJECT

public:
    static constexpr int kGripperSize = 12;
    static constexpr int kCloseButtonSize = 11;
    static constexpr int kEdgeWidth = 5;

    explicit CSizingControlBar(QWidget* parent = nullptr);
    ~CSizingControlBar() override;

    // Title, owning frame, default size (all three sizes), gripper or not, control id.
    bool Create(const QString& title, QMainWindow* frame, QSize defaultSize, bool hasGripper,
                int id);

    // Sizes in the settings under "<prefix>-SCBar-<id>": sizeHorzCX, sizeHorzCY, sizeVertCX,
    // sizeVertCY, sizeFloatCX, sizeFloatCY. Loading raises sizes below the minimum to it.
    void LoadSizes(const QString& prefix);
    void SaveSizes(const QString& prefix) const;

    QSize HorizontalSize() const { return horizontal_; }
    QSize VerticalSize() const { return vertical_; }
    QSize FloatingSize() const { return floating_; }
    QSize MinimumBarSize() const { return minimum_; }
    int ControlId() const { return id_; }
    bool IsHorizontal() const;
    bool IsVertical() const;
    bool HasGripper() const { return gripper_ > 0; }

    // Close-button state from the cursor and the left button (the frame's idle update).
    void UpdateCommandState();
    bool CloseButtonHot() const { return hot_; }
    bool CloseButtonPushed() const { return pushed_; }
    QRect CloseButtonRect() const;

    // Hides the bar as its close button does.
    void CloseBar();

    // Every sizing bar that exists, in the order they were made.
    static const QList<CSizingControlBar*>& AllBars();

protected:
    void resizeEvent(QResizeEvent* event) override;
    virtual void ApplyStoredSize();

private:
    void OnLocationChanged();
    QMainWindow* frame_ = nullptr;
    QSize horizontal_{200, 200}, vertical_{200, 200}, floating_{200, 200};
    QSize minimum_{33, 32};
    int gripper_ = 0;
    int id_ = 0;
    bool hot_ = false;
    bool pushed_ = false;
    class TitleBar* title_ = nullptr;
    friend class TitleBar;
};
