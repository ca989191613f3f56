#pragma once

#include <curl/curl.h>

#include <array>

// libcurl's global set-up, once for the whole program: made first in main, ended last.
class CurlGlobal
{
public:
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
    CurlGlobal(const CurlGlobal &) = delete;
    CurlGlobal &operator=(const CurlGlobal &) = delete;
};

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

// Owns a multi handle: it runs one easy handle, and another thread can wake it.
class CurlMulti
{
public:
    CurlMulti() : m_handle(curl_multi_init()) {}
    ~CurlMulti() { reset(); }
    CurlMulti(const CurlMulti &) = delete;
    CurlMulti &operator=(const CurlMulti &) = delete;

    CURLM *get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Ends the multi handle now, closing the connections it kept.
    void reset()
    {
        if (m_handle)
            curl_multi_cleanup(m_handle);
        m_handle = nullptr;
    }

private:
    CURLM *m_handle;
};
