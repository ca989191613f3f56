#include "CurlHandle.h"

#include <utility>

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

CurlHandle::CurlHandle(CurlHandle &&other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr))
    , m_headers(std::exchange(other.m_headers, nullptr))
    , m_error(other.m_error)
{
    if (m_handle)
        curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error.data());
}

CurlHandle &CurlHandle::operator=(CurlHandle &&other) noexcept
{
    if (this != &other) {
        reset();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_headers = std::exchange(other.m_headers, nullptr);
        m_error = other.m_error;
        if (m_handle)
            curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error.data());
    }
    return *this;
}

void CurlHandle::appendHeader(const char *header)
{
    m_headers = curl_slist_append(m_headers, header);
    curl_easy_setopt(m_handle, CURLOPT_HTTPHEADER, m_headers);
}

void CurlHandle::reset()
{
    if (m_handle) {
        curl_easy_cleanup(m_handle);
        m_handle = nullptr;
    }
    if (m_headers) {
        curl_slist_free_all(m_headers);
        m_headers = nullptr;
    }
}
