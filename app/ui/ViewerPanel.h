// Creates the "Monitor" panel for the main frame and binds it to the active
// document through the notification hub.
#pragma once

class QAction;

namespace pelmora {

class CGLWindow;
class CMainFrame;
class CPelmorApp;
class NotificationHub;

// The panel floats, hidden at first; `toggle` (Shift+Ctrl+M) shows and
// hides it and carries a check mark while it is visible.
CGLWindow* CreateViewerPanel(CMainFrame& frame, CPelmorApp& app, NotificationHub& hub, QAction* toggle);

}  // namespace pelmora
