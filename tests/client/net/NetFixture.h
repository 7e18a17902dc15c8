// Shared helpers for tests that talk to the stand-in server. They run inside a
// private network namespace pair (tests/support/nsrun.py), which passes the server's
// address and the folder of its request dumps and fault file.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "client/DeviceClient.h"

namespace nettest {

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::string Server() { return Env("QUARROW_TEST_SERVER"); }
inline std::string TestDir() { return Env("QUARROW_TEST_DIR"); }

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the stand-in's fault settings; it reads them at every request.
inline void SetFaults(const std::string& json) {
    std::string path = TestDir() + "\\faults.json";
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << json;
    }
    ::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Every request the stand-in received so far, raw, in order.
inline std::vector<std::string> Requests() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    std::string dump = TestDir() + "\\dump\\";
    HANDLE find = ::FindFirstFileA((dump + "*.bin").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do names.push_back(found.cFileName);
        while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> requests;
    for (const std::string& name : names) requests.push_back(ReadFile(dump + name));
    return requests;
}

inline std::string Body(const std::string& request) {
    size_t end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

inline std::string Head(const std::string& request) {
    size_t end = request.find("\r\n\r\n");
    return request.substr(0, end == std::string::npos ? request.size() : end + 2);
}

class NetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Server().empty()) << "run through tests/support/nsrun.py";
        SetFaults("");
    }
    void TearDown() override { SetFaults(""); }

    std::unique_ptr<client::CDeviceClient> MakeClient(DWORD timeoutMs = 300000) {
        return std::make_unique<client::CDeviceClient>(std::make_shared<client::BlockingOperationHost>(timeoutMs));
    }
    std::unique_ptr<client::CDeviceClient> Connected() {
        auto c = MakeClient();
        EXPECT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"NAS", Server()}));
        return c;
    }
};

}  // namespace nettest
