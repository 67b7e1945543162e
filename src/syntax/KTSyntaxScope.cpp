#include "syntax/KTSyntaxScope.h"

QString KTSyntaxScopeName(KTSyntaxScope scope) {
    switch (scope) {
    case KTSyntaxScopeProse:
        return QStringLiteral("prose");
    case KTSyntaxScopeString:
        return QStringLiteral("string");
    case KTSyntaxScopeComment:
        return QStringLiteral("comment");
    case KTSyntaxScopeStorage:
        return QStringLiteral("storage");
    case KTSyntaxScopeKeyword:
        return QStringLiteral("keyword");
    case KTSyntaxScopeEntity:
        return QStringLiteral("entity");
    case KTSyntaxScopeSupport:
        return QStringLiteral("support");
    default:
        return QStringLiteral("Unknown(%1)").arg(scope);
    }
}
