#include "tools/ctl_output.h"

#include <windows.h>
#include <psapi.h>

#include "tools/ctl_json.h"
#include "tools/ctl_resource.h"
#include "tools/ctl_table.h"
#include "tools/ctl_text.h"

namespace ctl {

namespace {

void WriteText(DWORD stream, const std::string& text, UINT codePage = CP_ACP) {
    HANDLE out = ::GetStdHandle(stream);
    if (!out || out == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(out, &mode)) {
        int count = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(count), L'\0');
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
        ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string OnOff(int flag) { return flag ? "on" : "off"; }

std::string PriorityName(int priority) {
    switch (priority) {
    case 1:
        return "High";
    case 0:
        return "Normal";
    case -1:
        return "Low";
    default:
        return std::to_string(priority);
    }
}

}  // namespace

void Out(const std::string& text) { WriteText(STD_OUTPUT_HANDLE, text); }
void Err(const std::string& text) { WriteText(STD_ERROR_HANDLE, text); }
void OutUtf8(const std::string& text) { WriteText(STD_OUTPUT_HANDLE, text, CP_UTF8); }

std::string MessageText(int code) {
    char buffer[1024] = {};
    if (::LoadStringA(::GetModuleHandleA(nullptr), static_cast<UINT>(code), buffer, sizeof buffer) > 0) return buffer;
    return "Undefined error!";
}

int ReportFailure(int code) {
    Err("quarrowctl: " + MessageText(code) + " (" + std::to_string(code) + ")\n");
    return kExitFailed;
}

std::string Usage() { return Text(IDS_CTL_USAGE); }

int ReportUsage(const std::string& message) {
    const std::string usage = Usage();
    if (message.empty()) {
        Err(usage);
    } else {
        Err("quarrowctl: " + message + "\n" + usage.substr(0, usage.find('\n') + 1) + Text(IDS_CTL_HELP_HINT));
    }
    return kExitUsage;
}

std::string FormatStatus(const client::ServerStatus& status) {
    std::string out = "BT service: " + OnOff(status.btEnabled) + "\n";
    out += "Web/FTP service: " + OnOff(status.webFtpEnabled) + "\n";

    out += "\nBT jobs: " + std::to_string(status.btItems.size()) + "\n";
    if (!status.btItems.empty()) {
        std::vector<TableRow> rows;
        int number = 0;
        for (const auto& item : status.btItems)
            rows.push_back({std::to_string(++number), CellText(item.itemId), CellText(item.name),
                            CellText(item.totalSize), CellText(item.schedule), CellText(item.throughput),
                            CellText(item.status), PriorityName(item.priority)});
        out += FormatTable({"#", "Item ID", "Name", "Size", "Progress", "Speed", "Status", "Priority"}, rows);
    }

    out += "\nWeb/FTP jobs: " + std::to_string(status.webFtpItems.size()) + "\n";
    if (!status.webFtpItems.empty()) {
        std::vector<TableRow> rows;
        int number = 0;
        for (const auto& item : status.webFtpItems)
            rows.push_back({std::to_string(++number), CellText(item.fileName), CellText(item.size),
                            CellText(item.loadedSize), CellText(item.status), CellText(item.savePath),
                            CellText(item.url)});
        out += FormatTable({"#", "File name", "Size", "Loaded", "Status", "Save path", "URL"}, rows);
    }
    return out;
}

std::string FormatLines(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& text : texts) out += PrintableText(text) + "\n";
    return out;
}

std::string StatusJson(const client::ServerStatus& status) {
    JsonWriter json;
    json.BeginObject().Key("version").Text(status.version);
    json.Key("BTEnable").Bool(status.btEnabled != 0);
    json.Key("BTItemCount").Number(static_cast<long long>(status.btItems.size()));
    json.Key("BTItems").BeginArray();
    for (const auto& item : status.btItems) {
        json.BeginObject()
            .Key("BTName")
            .Text(item.name)
            .Key("BTContents")
            .Text(item.contents)
            .Key("BTRemainingTime")
            .Text(item.remainingTime)
            .Key("BTTotalSize")
            .Text(item.totalSize)
            .Key("BTSchedule")
            .Text(item.schedule)
            .Key("BTThroughput")
            .Text(item.throughput)
            .Key("BTStatus")
            .Text(item.status)
            .Key("BTPriority")
            .Number(item.priority)
            .Key("BTItemId")
            .Text(item.itemId)
            .End();
    }
    json.End();
    json.Key("WebFTPEnable").Bool(status.webFtpEnabled != 0);
    json.Key("WebFTPItemCount").Number(static_cast<long long>(status.webFtpItems.size()));
    json.Key("WebFTPItems").BeginArray();
    for (const auto& item : status.webFtpItems) {
        json.BeginObject()
            .Key("WebFTPFileName")
            .Text(item.fileName)
            .Key("WebFTPSize")
            .Text(item.size)
            .Key("WebFTPLoadSize")
            .Text(item.loadedSize)
            .Key("WebFTPStatus")
            .Text(item.status)
            .Key("WebFTPSavePath")
            .Text(item.savePath)
            .Key("WebFTPURL")
            .Text(item.url)
            .End();
    }
    json.End().End();
    return json.Document();
}

std::string ListJson(const char* key, const std::vector<std::string>& texts) {
    JsonWriter json;
    json.BeginObject().Key(key).BeginArray();
    for (const auto& text : texts) json.Text(text);
    json.End().End();
    return json.Document();
}

std::string DefaultPathJson(const std::string& path) {
    JsonWriter json;
    json.BeginObject().Key("DefaultPath").Text(path).End();
    return json.Document();
}

std::string MemoryReport() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return "memory: unavailable\n";
    return "memory: peak_working_set=" + std::to_string(counters.PeakWorkingSetSize) +
           " peak_pagefile=" + std::to_string(counters.PeakPagefileUsage) + "\n";
}

}  // namespace ctl
