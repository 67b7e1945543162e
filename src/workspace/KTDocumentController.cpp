#include "workspace/KTDocumentController.h"

#include "connections/AbstractConnectionProtocol.h"
#include "connections/ConnectionItemAttributes.h"
#include "core/Settings.h"
#include "editor/KTCodeView.h"
#include "platform/AlertView.h"
#include "platform/Autoresizing.h"

#include <QFileInfo>
#include <QLabel>
#include <QTimer>

#include <cerrno>

namespace {

constexpr int kBannerHeight = 30;

QString lastPathComponent(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? trimmed : trimmed.mid(slash + 1);
}

} // namespace

KTDocumentController::KTDocumentController(const QString& path, QObject* parent)
    : ViewController(parent), path_(path) {
    shouldShowLeftMargin_ = Settings::shouldShowLeftMargin();
    format_.encoding = 0;
    format_.lineEnding = LineEndings::CR;
    setTitle(lastPathComponent(path));
    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setSingleShot(false);
    connect(autosaveTimer_, &QTimer::timeout, this, [this] { _autosave(); });
}

KTDocumentController::~KTDocumentController() {
    autosaveTimer_->stop();
    // Edits younger than the autosave delay would otherwise go with the controller.
    if (documentEdited_ && !readOnly_ && editorView_)
        writeToURL();
}

void KTDocumentController::setPath(const QString& path) {
    path_ = path;
    setTitle(lastPathComponent(path));
}

void KTDocumentController::setAutosavingDelay(double seconds) {
    autosaveTimer_->stop();
    autosavingDelay_ = seconds;
    if (seconds > 0) {
        autosaveTimer_->setInterval(int(seconds * 1000));
        autosaveTimer_->start();
    }
}

bool KTDocumentController::isAutosaveTimerRunning() const {
    return autosaveTimer_->isActive();
}

void KTDocumentController::setShouldShowLeftMargin(bool flag) {
    shouldShowLeftMargin_ = flag;
    if (!isViewLoaded())
        return;
    // After loading the margin comes or goes and the code view moves by its width.
    if (flag && !leftMargin_) {
        auto* margin = new KTMarginView(view());
        margin->setOwner(this);
        const QFont editorFont = Settings::font();
        QFont marginFont(editorFont.family());
        marginFont.setPointSizeF(editorFont.pointSizeF() - 2);
        margin->setFont(marginFont);
        margin->setBackgroundColor(QColor::fromRgbF(0.945f, 0.945f, 0.945f));
        margin->setForegroundColor(QColor::fromRgbF(0.573f, 0.573f, 0.573f));
        margin->show();
        leftMargin_ = margin;
    } else if (!flag && leftMargin_) {
        delete leftMargin_.data();
    }
    layoutSubviews();
    updateLeftMargin();
}

void KTDocumentController::viewDidLoad() {
    QWidget* base = view();
    auto* codeView = new KTCodeView(base);
    codeView->setFont(Settings::font());
    codeView->setDelegate(this);
    codeView->setSoftWrappingEnabled(Settings::shouldWrapLines());
    codeView->syntaxDescriptor().fileType = QFileInfo(lastPathComponent(path_)).suffix();
    editorView_ = codeView;
    codeView->show();

    loadDocument();

    if (shouldShowLeftMargin_)
        setShouldShowLeftMargin(true);
    layoutSubviews();
    editorView_->setContentOffset(scrollOffset_);
}

void KTDocumentController::loadDocument() {
    if (!connection_)
        return;
    Error error;
    const std::optional<ConnectionItemAttributes> attributes =
        connection_->attributesOfItemAtPath(path_, &error);
    if (!attributes) {
        // No such file: a new, empty document that a save creates. Anything else (no
        // permission on the folder, a path refused by the connection) is a file we could not
        // look at, and must not be replaced by an empty one.
        const bool missing =
            error.domain.isEmpty() || error.code == ENOENT || error.code == ENOTDIR;
        if (!missing)
            markReadOnly(error.description);
        return;
    }
    if (attributes->type == ConnectionItemAttributes::typeDirectory()) {
        markReadOnly(QStringLiteral("“%1” is a folder.").arg(lastPathComponent(path_)));
        return;
    }
    Error readError;
    const std::optional<QByteArray> data = connection_->contentsOfFileAtPath(path_, &readError);
    if (!data) {
        markReadOnly(readError.description.isEmpty() ? QStringLiteral("The file could not be read.")
                                                     : readError.description);
        return;
    }
    Error decodeError;
    const std::optional<DocumentContents> contents =
        documentFromData(*data, Settings::defaultTextEncoding(), format_.lineEnding, &decodeError);
    if (!contents) {
        markReadOnly(decodeError.description.isEmpty()
                         ? QStringLiteral("The text encoding of the file is not known.")
                         : decodeError.description);
        return;
    }
    format_ = contents->format;
    setText(contents->text);
}

void KTDocumentController::markReadOnly(const QString& reason) {
    readOnly_ = true;
    readOnlyReason_ = reason;
    auto* banner = new QLabel(view());
    banner->setObjectName(QStringLiteral("readOnlyBanner"));
    banner->setWordWrap(true);
    banner->setText(QStringLiteral("Read-only: %1 Nothing is saved to this file.").arg(reason));
    banner->setStyleSheet(
        QStringLiteral("QLabel { background: #fff3c4; color: #5a4500; padding: 4px 8px;"
                       " border-bottom: 1px solid #d9c27a; }"));
    banner->show();
    readOnlyBanner_ = banner;
}

void KTDocumentController::layoutSubviews() {
    if (!isViewLoaded() || !editorView_)
        return;
    QWidget* base = view();
    const int top = readOnlyBanner_ ? kBannerHeight : 0;
    const int width = base->width();
    const int height = std::max(0, base->height() - top);
    if (readOnlyBanner_) {
        readOnlyBanner_->setGeometry(0, 0, width, kBannerHeight);
        setAutoresizingMask(readOnlyBanner_, Autoresizing::FlexibleWidth);
    }
    const int x = leftMargin_ ? int(MarginWidth) : 0;
    editorView_->setGeometry(x, top, width - x, height);
    setAutoresizingMask(editorView_, Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    if (leftMargin_) {
        leftMargin_->setGeometry(0, top, int(MarginWidth), height);
        setAutoresizingMask(leftMargin_, Autoresizing::FlexibleHeight);
        leftMargin_->raise();
    }
}

QString KTDocumentController::text() const {
    return editorView_ ? editorView_->text() : QString();
}

void KTDocumentController::setText(const QString& text) {
    if (!editorView_)
        return;
    editorView_->setText(text);
    if (shouldShowLeftMargin_)
        QTimer::singleShot(100, this, [this] { updateLeftMargin(); });
}

bool KTDocumentController::saveDocument() {
    Error error;
    const bool written = writeToURL(&error);
    if (written) {
        documentEdited_ = false;
        lastSaveError_.clear();
    } else if (!readOnly_) {
        reportSaveFailure(error.description);
    }
    Q_EMIT documentSaved(written);
    return written;
}

bool KTDocumentController::writeToURL(Error* error) {
    if (readOnly_) {
        setError(error, QStringLiteral("KTDocumentController"), 1,
                 QStringLiteral("The document is read-only: %1").arg(readOnlyReason_));
        return false;
    }
    if (!connection_ || !editorView_) {
        setError(error, QStringLiteral("KTDocumentController"), 2,
                 QStringLiteral("The document has no place to be saved to."));
        return false;
    }
    const std::optional<QByteArray> data = dataFromDocument(editorView_->text(), format_, error);
    if (!data)
        return false;
    return connection_->createFileAtPath(path_, *data, error);
}

void KTDocumentController::reportSaveFailure(const QString& reason) {
    const QString message =
        reason.isEmpty() ? QStringLiteral("“%1” could not be saved.").arg(title()) : reason;
    // Autosave tries again at every tick; the user hears of each failure once.
    if (message == lastSaveError_)
        return;
    lastSaveError_ = message;
    AlertView::showAlert(QStringLiteral("Error"), message, QStringLiteral("Dismiss"));
}

void KTDocumentController::updateLeftMargin() {
    if (!leftMargin_ || !editorView_)
        return;
    leftMargin_->resize(leftMargin_->width(), editorView_->height());
    leftMargin_->setNeedsDisplay();
}

void KTDocumentController::_autosave() {
    if (hasUnautosavedChanges())
        saveDocument();
}

bool KTDocumentController::textViewShouldChangeTextInRange(KTTextView*, NSRange, const QString&) {
    return !readOnly_;
}

void KTDocumentController::textViewDidChange(KTTextView*) {
    documentEdited_ = true;
    // The first autosave comes one full delay after the latest change.
    setAutosavingDelay(autosavingDelay_);
    if (leftMargin_)
        leftMargin_->setNeedsDisplay();
}

void KTDocumentController::textViewDidEndEditing(KTTextView*) {
    if (delegate_ && documentEdited_ && !readOnly_)
        delegate_->documentControllerDoesNeedSave(this);
}

void KTDocumentController::scrollViewDidScroll(KTTextView* textView) {
    if (leftMargin_)
        leftMargin_->setNeedsDisplay();
    const QPointF offset = textView->contentOffset();
    if (offset != QPointF(0, 0))
        scrollOffset_ = offset;
}

void KTDocumentController::viewDidAppear(bool) {
    visible_ = true;
    updateLeftMargin();
    QTimer::singleShot(100, this, [this] { _updateContentOffset(); });
}

void KTDocumentController::viewDidDisappear(bool) {
    visible_ = false;
}

void KTDocumentController::_updateContentOffset() {
    if (editorView_)
        editorView_->setContentOffset(scrollOffset_);
}
