#pragma once

#include <QString>

struct FetchedDocument;

// The facts of a fetched document, in lines a person reads: where it came from, over
// what, as what type, in which encoding and why, how large, and how long it took.
QString documentDetails(const FetchedDocument &document);

// The details with the page's parse error count as their last line, in place of any
// count they had; empty details (no document) stay empty.
QString withParseErrorCount(const QString &details, qint64 count);
