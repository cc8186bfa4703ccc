#pragma once
// A transfer that moves no bytes over a network: each block waits a little
// (or until the test releases it) and then "writes" through the run's gate,
// as the real transfer does. It records what the run did with it.
#include "download/transfer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class FakeTransfer : public ITransferEngine {
public:
    int DownloadVideo(CYoutubeFile& movie, CTransferControl& control) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++active;
            maxActive = std::max(maxActive, active);
            started.push_back(movie.m_strTitle);
            if (!inFlight.insert(&movie).second)
                sameRecordTwice = true;
        }
        bool aborted = false;
        control.SetAbort([this, &aborted] {
            std::lock_guard<std::mutex> lock(m_mutex);
            aborted = true;
            m_cv.notify_all();
        });
        int result = failTitles.count(movie.m_strTitle) ? 1 : 0;
        control.Apply([&] {
            std::lock_guard<std::mutex> lock(m_mutex);
            movie.m_dwSize = static_cast<std::uint32_t>(blocks);
            movie.m_nProgress = 0;
            files[movie.m_strFilePath].clear();
        });
        for (int i = 0; i < blocks; ++i) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_cv.wait_for(lock, blockTime, [&] { return aborted; });
                m_cv.wait_for(lock, std::chrono::seconds(30),
                              [&] { return aborted || !hold.count(movie.m_strTitle); });
                if (aborted) {
                    result = 1;
                    break;
                }
            }
            control.Apply([&] {
                std::lock_guard<std::mutex> lock(m_mutex);
                files[movie.m_strFilePath] += 'x';
                control.CountReceived(1);
                movie.m_nProgress = (i + 1) * 100 / blocks;
            });
        }
        control.ClearAbort();
        std::lock_guard<std::mutex> lock(m_mutex);
        inFlight.erase(&movie);
        --active;
        return result;
    }
    void DeleteOutputFile(const std::wstring& path) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        files.erase(path);
        deleted.push_back(path);
    }

    // A slow output folder: FolderExists waits while `holdFolder` is set.
    bool FolderExists(const std::wstring& folder) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++folderLooks;
        m_cv.notify_all();
        m_cv.wait_for(lock, std::chrono::seconds(30), [&] { return !holdFolder; });
        return existingFolders.count(folder) > 0;
    }
    void CreateOutputFolder(const std::wstring& folder) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        existingFolders.insert(folder);
        createdFolders.push_back(folder);
    }
    void HoldFolder(bool hold) {
        std::lock_guard<std::mutex> lock(m_mutex);
        holdFolder = hold;
        m_cv.notify_all();
    }
    bool WaitFolderLooks(int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(10), [&] { return folderLooks >= count; });
    }
    std::vector<std::wstring> CreatedFolders() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return createdFolders;
    }

    // Blocks of a title in `hold` wait until Release.
    void Hold(const std::wstring& title) {
        std::lock_guard<std::mutex> lock(m_mutex);
        hold.insert(title);
    }
    void Release(const std::wstring& title) {
        std::lock_guard<std::mutex> lock(m_mutex);
        hold.erase(title);
        m_cv.notify_all();
    }
    int Active() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return active;
    }
    std::vector<std::wstring> Started() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return started;
    }
    std::map<std::wstring, std::string> Files() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return files;
    }

    int blocks = 4;
    std::chrono::milliseconds blockTime{1};
    std::set<std::wstring> failTitles;

    int active = 0;
    int maxActive = 0;
    bool sameRecordTwice = false;
    std::vector<std::wstring> started;
    std::vector<std::wstring> deleted;
    std::map<std::wstring, std::string> files; // changed only through the gate
    std::set<std::wstring> hold;
    std::set<const CYoutubeFile*> inFlight;
    bool holdFolder = false;
    int folderLooks = 0;
    std::set<std::wstring> existingFolders;
    std::vector<std::wstring> createdFolders; // changed only through the gate

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};
