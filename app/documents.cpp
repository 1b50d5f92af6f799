#include "app/documents.h"

#include "app/zyr_app.h"
#include "platform/doc_template.h"
#include "platform/framework_ids.h"
#include "platform/view.h"
#include "view/command_ids.h"
#include "view/galaxy_window.h"
#include "view/icons.h"

CWindowDoc::CWindowDoc() {
    onCommand(FrameworkId::FileSave, [] { CZyrApp::instance()->saveGalaxy(false); });
    onCommand(FrameworkId::FileSaveAs, [] { CZyrApp::instance()->saveGalaxy(true); });
    onCommand(CommandId::ExportGadget4, [this] { OnExportGadget4(); });
}

CZyrDoc::~CZyrDoc() {
    if (g_galaxyDoc == this) g_galaxyDoc = nullptr;
}

bool CZyrDoc::saveModified() { return CZyrApp::instance()->saveChangesFirst(); }

void CZyrDoc::OnCloseDocument() {
    DocTemplate* info = CZyrApp::instance()->infoTemplate;
    if (const Document* infoDoc = info->firstDocument())
        if (View* view = infoDoc->firstView()) view->hide();
    info->closeAllDocuments();
    Document::OnCloseDocument();
}

CChildFrame::CChildFrame() { setWindowIcon(applicationIcon()); }

std::optional<QRect> CChildFrame::PreCreateWindow() const { return QRect(0, 0, 300, 300); }

CInfoFrm::CInfoFrm() { setWindowIcon(infoIcon()); }

std::optional<QRect> CInfoFrm::PreCreateWindow() const { return QRect(0, 275, 500, 200); }

CPlotFrm::CPlotFrm() { setWindowIcon(infoIcon()); }

std::optional<QRect> CPlotFrm::PreCreateWindow() const { return QRect(300, 0, 200, 275); }

CNoteFrm::CNoteFrm() { setWindowIcon(listIcon()); }
