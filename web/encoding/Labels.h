#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace Encoding {

// The encoding a label names, as the web's label table reads it ("latin1" is
// windows-1252), by its canonical name. Empty for an unknown label.
QByteArray nameForLabel(QByteArrayView label);

} // namespace Encoding
