#include "site/internet_opener.h"

#include "framework/internet.h"
#include "site/watch_page_reader.h"

#include <limits>

namespace {

class CInternetPageStream : public IPageStream {
public:
    CInternetPageStream(std::unique_ptr<CInternetSession> session,
                        std::unique_ptr<CInternetFile> file)
        : m_session(std::move(session)), m_file(std::move(file)) {}
    // The file is closed before the session that opened it.
    ~CInternetPageStream() override {
        m_file.reset();
        m_session.reset();
    }
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t count = std::min<std::size_t>(size, std::numeric_limits<DWORD>::max());
        return m_file->Read(buffer, static_cast<std::uint32_t>(count));
    }

private:
    std::unique_ptr<CInternetSession> m_session;
    std::unique_ptr<CInternetFile> m_file;
};

} // namespace

std::unique_ptr<IPageStream> CInternetPageOpener::Open(const std::wstring& url) {
    auto session = std::make_unique<CInternetSession>(kPageAgent);
    std::unique_ptr<CInternetFile> file = session->OpenURL(url, 1, INTERNET_FLAG_TRANSFER_ASCII);
    if (!file)
        return nullptr;
    return std::make_unique<CInternetPageStream>(std::move(session), std::move(file));
}
