#pragma once

#include <QString>
#include <cstdint>

// The colour category of a stretch of text; the index into a theme's attribute sets.
using KTSyntaxScope = int32_t;

constexpr KTSyntaxScope KTSyntaxScopeProse = 0;
constexpr KTSyntaxScope KTSyntaxScopeString = 1;
constexpr KTSyntaxScope KTSyntaxScopeComment = 2;
constexpr KTSyntaxScope KTSyntaxScopeStorage = 3;
constexpr KTSyntaxScope KTSyntaxScopeKeyword = 4;
constexpr KTSyntaxScope KTSyntaxScopeEntity = 5;
constexpr KTSyntaxScope KTSyntaxScopeSupport = 6;
constexpr int32_t KTSyntaxScopeCount = 7;

// "prose", "string", ... "support"; "Unknown(<code>)" for any other code.
QString KTSyntaxScopeName(KTSyntaxScope scope);
