#pragma once
// The owner of the focus panel, as the application model drives it. The real one
// lives with the windows; the model only shows, hides and floats the panel through
// this interface, so it links no widget.

class AppModel;

class FocusPanelController {
public:
    virtual ~FocusPanelController() = default;

    // Whether the panel has been made; none is made before focus mode is first entered.
    virtual bool hasPanel() const = 0;
    // Makes the panel on first use, applies the float switch and brings it to the front
    // without activating the app.
    virtual void showPanel(AppModel& model, bool floats) = 0;
    // Hides the panel, if there is one, without closing it.
    virtual void hidePanel() = 0;
    // Floats the panel above other windows, or not; nothing without a panel.
    virtual void applyFloating(bool floats) = 0;
};
