#include "CurlHandle.h"

CurlHandle::CurlHandle()
    : m_handle(curl_easy_init())
{
    if (m_handle)
        curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error.data());
}

CurlHandle::~CurlHandle()
{
    reset();
}

void CurlHandle::reset()
{
    if (m_handle) {
        curl_easy_cleanup(m_handle);
        m_handle = nullptr;
    }
}
