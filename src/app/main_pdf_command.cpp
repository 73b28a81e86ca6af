// The main window's "PDF制作" command.

#include "app/quorvane_dlg.h"
#include "dialogs/pdf_dlg.h"
#include "ocr/ocr_pdf_text_reader.h"
#include "ocr/text_recogniser.h"
#include "view/thumbnail_view.h"

void CQuorvaneDlg::RunPdfDialog() {
    QStringList pictures;
    thumbnails_->GetAllPaths(pictures);
    CPDFDlg dialog(pictures, this);
    dialog.SetSearchable(stored_.pdfSearchable != 0);
    const QString missing = CTextRecogniser().MissingLanguageText();
    dialog.SetTextRecognition(COcrPdfTextReader::Readers(), missing);
    dialog.exec();
    // The choice is kept for the next PDF, also of a later run.
    const int searchable = dialog.Searchable() ? 1 : 0;
    if (searchable != stored_.pdfSearchable) {
        stored_.pdfSearchable = searchable;
        WriteSettingInt(&settings_, qvini::kPdf, qvini::kPdfSearchable, searchable);
    }
}
