#pragma once

#include "platform/child_frame.h"
#include "platform/document.h"

// The documents of the four window kinds hold nothing: every window shows the
// one galaxy of the process. They exist so that windows can be created, routed
// to and closed.

// What the four documents share: Save writes the galaxy file and Export for
// GADGET-4 a folder for GADGET-4, whichever window is active, since each of
// them shows that galaxy.
class CWindowDoc : public Document {
public:
    CWindowDoc();
    void OnExportGadget4();
};

// The galaxy window's document: its title names the file the galaxy was read
// from or saved to, and it is marked modified while the galaxy has changes
// that no file holds.
class CZyrDoc : public CWindowDoc {
public:
    ~CZyrDoc() override;
    bool saveModified() override;
    // The information window closes with the galaxy window.
    void OnCloseDocument() override;
};

class CInfoDoc : public CWindowDoc {};

class CNoteDoc : public CWindowDoc {};

class CPlotDoc : public CWindowDoc {};

// The galaxy window, at the top left of the client area, 300 by 300.
class CChildFrame : public ChildFrame {
    Q_OBJECT
public:
    CChildFrame();
    std::optional<QRect> PreCreateWindow() const override;
};

// The information window, below the galaxy window, 500 by 200.
class CInfoFrm : public ChildFrame {
    Q_OBJECT
public:
    CInfoFrm();
    std::optional<QRect> PreCreateWindow() const override;
};

// The energy plot, right of the galaxy window, 200 by 275.
class CPlotFrm : public ChildFrame {
    Q_OBJECT
public:
    CPlotFrm();
    std::optional<QRect> PreCreateWindow() const override;
};

// The star-list window, wherever the MDI area places it.
class CNoteFrm : public ChildFrame {
    Q_OBJECT
public:
    CNoteFrm();
};
