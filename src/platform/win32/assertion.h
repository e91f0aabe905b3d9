// Assertion reports: "Assertion failed: EXPR, file SOURCE, line N" goes to
// stderr (and is recorded by the headless backend); execution continues.
#pragma once

void ReportAssertionFailure(const char* expression, const char* file, int line);

#define OST_ASSERT(expr) ((expr) ? (void)0 : ReportAssertionFailure(#expr, __FILE__, __LINE__))
// For a failure whose report names a fixed expression, e.g. OST_ASSERT_FAILED("NULL").
#define OST_ASSERT_FAILED(text) ReportAssertionFailure(text, __FILE__, __LINE__)
