#pragma once

#include <curl/curl.h>

#include <array>

// Owns one easy handle, its header list and its error buffer.
class CurlHandle
{
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(CurlHandle &&other) noexcept;
    CurlHandle &operator=(CurlHandle &&other) noexcept;
    CurlHandle(const CurlHandle &) = delete;
    CurlHandle &operator=(const CurlHandle &) = delete;

    CURL *get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void appendHeader(const char *header);
    const char *errorMessage() const { return m_error.data(); }
    // Ends the handle now, closing its connections.
    void reset();

private:
    CURL *m_handle = nullptr;
    curl_slist *m_headers = nullptr;
    std::array<char, CURL_ERROR_SIZE> m_error{};
};
