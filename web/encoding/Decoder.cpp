#include "Decoder.h"

#include "Decoding.h"

#include <QByteArray>

namespace Encoding {

namespace {

// Until every encoding has a decoder of its own: the whole body at the end.
class WholeBodyDecoder : public Decoder
{
public:
    explicit WholeBodyDecoder(QByteArray name) : m_name(std::move(name)) {}

    void decode(QByteArrayView bytes, bool last, QString &out) override
    {
        m_pending.append(bytes);
        if (!last)
            return;
        QString text;
        decodeWith(m_name, m_pending, &text);
        out.append(text);
        m_pending.clear();
    }

private:
    QByteArray m_name;
    QByteArray m_pending;
};

} // namespace

std::unique_ptr<Decoder> makeDecoder(QByteArrayView name)
{
    QString probe;
    if (!decodeWith(name.toByteArray(), {}, &probe))
        return nullptr;
    return std::make_unique<WholeBodyDecoder>(name.toByteArray());
}

} // namespace Encoding
