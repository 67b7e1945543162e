#pragma once

#include "core/Error.h"
#include "editor/KTMarginView.h"
#include "platform/ViewController.h"
#include "text/KTTextView.h"
#include "workspace/DocumentData.h"
#include "workspace/LineEndings.h"

#include <QPointF>
#include <QPointer>
#include <QString>

#include <memory>

class AbstractConnectionProtocol;
#include "editor/KTCodeView.h"
class KTDocumentController;
class QLabel;
class QTimer;

class KTDocumentControllerDelegate {
public:
    virtual ~KTDocumentControllerDelegate() = default;
    // Sent when editing ends with changes not yet written; the workspace saves.
    virtual void documentControllerDoesNeedSave(KTDocumentController*) {}
};

// One open document: reads a file of the project through its connection (encoding detected,
// line endings kept), shows it in a code view with a line-number margin, tracks changes and
// writes them back on request and by a repeating autosave timer.
//
// A file that exists but cannot be read or decoded is shown read-only with the reason, and
// nothing is ever written over it. A save that fails (the file system refuses, or a character
// has no representation in the document's encoding) leaves the document edited and tells the
// user once per distinct failure; autosave keeps trying.
class KTDocumentController : public ViewController,
                             public KTTextViewDelegate,
                             public KTMarginViewOwner {
    Q_OBJECT
public:
    static constexpr qreal MarginWidth = 50;

    explicit KTDocumentController(const QString& path, QObject* parent = nullptr);
    ~KTDocumentController() override;

    KTDocumentControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(KTDocumentControllerDelegate* delegate) { delegate_ = delegate; }
    std::shared_ptr<AbstractConnectionProtocol> connection() const { return connection_; }
    void setConnection(std::shared_ptr<AbstractConnectionProtocol> connection) {
        connection_ = std::move(connection);
    }
    QString path() const { return path_; }
    void setPath(const QString& path);
    uint32_t encoding() const { return format_.encoding; }
    void setEncoding(uint32_t encoding) { format_.encoding = encoding; }
    int32_t lineEnding() const { return format_.lineEnding; }
    void setLineEnding(int32_t lineEnding) { format_.lineEnding = lineEnding; }
    const DocumentFormat& documentFormat() const { return format_; }

    KTCodeView* editorView() const override { return editorView_; }
    KTMarginView* leftMargin() const { return leftMargin_; }
    bool shouldShowLeftMargin() const { return shouldShowLeftMargin_; }
    void setShouldShowLeftMargin(bool flag);
    bool isVisible() const { return visible_; }
    QPointF scrollOffset() const { return scrollOffset_; }
    double autosavingDelay() const { return autosavingDelay_; }
    void setAutosavingDelay(double seconds);
    bool isDocumentEdited() const { return documentEdited_; }
    void setDocumentEdited(bool edited) { documentEdited_ = edited; }
    bool hasUnautosavedChanges() const { return documentEdited_; }

    // Read-only: the file exists but could not be read; the reason is shown above the text.
    bool isReadOnly() const { return readOnly_; }
    QString readOnlyReason() const { return readOnlyReason_; }
    // The failure of the last save, empty after a successful one.
    QString lastSaveError() const { return lastSaveError_; }

    QString text() const;
    void setText(const QString& text);

    // Writes the document; answers whether it was written. The document stays edited when not.
    bool saveDocument();
    bool writeToURL(Error* error = nullptr);
    void updateLeftMargin();
    // What the autosave timer calls.
    void _autosave();
    bool isAutosaveTimerRunning() const;

    // Code-view delegate.
    bool textViewShouldChangeTextInRange(KTTextView*, NSRange, const QString&) override;
    void textViewDidChange(KTTextView* textView) override;
    void textViewDidEndEditing(KTTextView* textView) override;
    void scrollViewDidScroll(KTTextView* textView) override;

    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

Q_SIGNALS:
    // After each write attempt: whether it worked.
    void documentSaved(bool success);

protected:
    void viewDidLoad() override;

private:
    void loadDocument();
    void layoutSubviews();
    void markReadOnly(const QString& reason);
    void reportSaveFailure(const QString& reason);
    void _updateContentOffset();

    KTDocumentControllerDelegate* delegate_ = nullptr;
    DocumentFormat format_;
    QString path_;
    std::shared_ptr<AbstractConnectionProtocol> connection_;
    QPointer<KTCodeView> editorView_;
    QPointer<KTMarginView> leftMargin_;
    QPointer<QLabel> readOnlyBanner_;
    bool shouldShowLeftMargin_ = true;
    bool visible_ = false;
    QPointF scrollOffset_{0, 0};
    double autosavingDelay_ = 0;
    QTimer* autosaveTimer_ = nullptr;
    bool documentEdited_ = false;
    bool readOnly_ = false;
    QString readOnlyReason_;
    QString lastSaveError_;
};
