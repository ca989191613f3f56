#pragma once

#include <curl/curl.h>

#include <array>

// Owns one easy handle and its error buffer. It stays where it was made: libcurl
// holds the buffer's address.
class CurlHandle
{
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(const CurlHandle &) = delete;
    CurlHandle &operator=(const CurlHandle &) = delete;

    CURL *get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // What libcurl wrote about the last failure; may be empty.
    const char *errorMessage() const { return m_error.data(); }
    // Ends the handle now, closing its connections.
    void reset();

private:
    CURL *m_handle = nullptr;
    std::array<char, CURL_ERROR_SIZE> m_error{};
};
