#include "text/KTTextContainer.h"

#include "text/KTLayoutManager.h"
#include "text/KTTextView.h"

void KTTextContainer::setContainerSize(const QSizeF& containerSize) {
    if (containerSize == containerSize_)
        return;
    containerSize_ = containerSize;
    if (layoutManager_)
        layoutManager_->textContainerChangedGeometry(this);
}

void KTTextContainer::setTextView(KTTextView* textView) {
    textView_ = textView;
    if (textView)
        textView->setTextContainer(this);
}
