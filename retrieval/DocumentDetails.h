#pragma once

#include <QString>

struct FetchedDocument;

// The facts of a fetched document, in lines a person reads: where it came from, over
// what, as what type, in which encoding and why, how large, and how long it took.
QString documentDetails(const FetchedDocument &document);
