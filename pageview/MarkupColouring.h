#pragma once

#include "BackgroundScan.h"
#include "MarkupTokenizer.h"

#include <QList>
#include <QString>

#include <map>
#include <optional>
#include <vector>

// The colours of the rows on screen. The tokenizer's state is kept at checkpoints every
// checkpointSpacing characters, found on a thread of its own from the start of the
// document, so that any row can be coloured from the checkpoint before it, and a jump
// to the end of a huge page is coloured as soon as the checkpoints reach it.
class MarkupColouring : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype checkpointSpacing = 64 * 1024;

    explicit MarkupColouring(QObject *parent = nullptr);

    // A new document; no syntax: it is not coloured.
    void reset(const QString &document, std::optional<MarkupSyntax> syntax);
    bool isActive() const { return m_syntax.has_value(); }
    // Whether [from, ...) can be coloured already.
    bool isReadyAt(qsizetype from) const;
    // The spans of the document's [from, to), with offsets relative to from; empty
    // when it cannot be coloured (yet).
    QList<MarkupSpan> spans(qsizetype from, qsizetype to);

signals:
    // More of the document can be coloured.
    void advanced();

private:
    MarkupState stateAt(qsizetype offset);

    QString m_document;
    std::optional<MarkupSyntax> m_syntax;
    std::vector<MarkupState> m_checkpoints; // the state at k * checkpointSpacing
    // After the checkpoints, so that it is destroyed first: its thread writes them.
    BackgroundScan m_scan;
    // States at the rows coloured lately, so that the next row goes on from there.
    std::map<qsizetype, MarkupState> m_recent;
};
