// Every text the program shows on screen, in one place: the toolbar's
// tooltips, the labels' first captions, the save dialog, and the messages of
// the error boxes. Header only and including nothing of ours, so every layer,
// the platform views too, can use it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tolvane::texts {

// Toolbar buttons by Index, each with its keyboard shortcut where it has one.
inline constexpr std::array<std::string_view, 9> kToolTips = {
    "撤销 (Ctrl+Z)", "复制退出 (Ctrl+C)", "保存 (Ctrl+S)", "退出截屏 (Esc)", "添加箭头", "添加文字", "添加椭圆",
    "添加矩形", "重做 (Ctrl+Y)",
};

// The size label's caption until a region is drawn.
inline constexpr std::string_view kSizeLabelStart = "宽X高";

// The save dialog: its title and its file types, the second one chosen.
inline constexpr std::string_view kSaveTitle = "Tolvane-保存为";
struct SaveFilter {
  std::string_view name, pattern;
};
inline constexpr std::array<SaveFilter, 6> kSaveFilters = {{
    {"PNG文件(*.PNG)", "*.PNG"},
    {"JPEG文件(*.jpg;*.jpeg)", "*.jpg"},
    {"位图文件(*.bmp)", "*.bmp"},
    {"GIF文件(*.gif)", "*.gif"},
    {"TIFF文件(*.TIFF)", "*.tiff"},
    {"所有文件(*.*)", "*.*"},
}};

// The error boxes.
inline constexpr std::string_view kErrorTitle = "错误";
inline constexpr std::string_view kOutOfMemory = "内存不足";

// A failure while the window handled an event.
inline std::string operationError(const std::string& what) {
  return "在处理操作时发生错误:\r\n\r\n错误描述: " + what;
}

// A save that failed, by its number and description.
inline std::string saveError(int number, const std::string& description) {
  return "在保存图片的过程中发生错误:\r\n\r\n错误号: " + std::to_string(number) + "\r\n错误描述: " + description;
}

// Why a picture was not saved: the descriptions in the save error.
inline constexpr std::string_view kNothingToSave = "没有可保存的图片: 选区是空的";
inline std::string unsupportedExtension(const std::string& extension) {
  return "不支持的扩展名 \"" + extension + "\" (可用: png, jpg, jpeg, bmp, gif, tiff, tif)";
}
inline std::string cannotEncode(std::string_view format, const std::string& path, const std::string& why) {
  return "无法编码 " + std::string(format) + " 图片, \"" + path + "\" 未写入: " + why;
}

// Why a file could not be written in one piece.
inline std::string cannotWrite(const std::string& path) { return "无法写入 \"" + path + "\""; }
inline std::string linkPointsTo(const std::string& target) { return " (链接指向 \"" + target + "\")"; }
inline constexpr std::string_view kNoFileName = "无法写入: 没有文件名";
inline constexpr std::string_view kLinkUnresolved = "无法解析符号链接";
inline std::string notARegularFile(std::string_view what) {
  return "无法替换目标文件: 它是" + std::string(what) + ", 不是普通文件";
}
inline constexpr std::string_view kAFolder = "文件夹";
inline constexpr std::string_view kAPipe = "管道 (FIFO)";
inline constexpr std::string_view kADevice = "设备";
inline constexpr std::string_view kASocket = "套接字";
inline constexpr std::string_view kASpecialFile = "特殊文件";
inline constexpr std::string_view kFileNotWritable = "文件不可写";
inline std::string cannotCreateIn(const std::string& folder) { return "无法在文件夹 \"" + folder + "\" 中创建文件"; }
inline constexpr std::string_view kWriteFailed = "写入失败";
inline constexpr std::string_view kFlushFailed = "写入磁盘失败";
inline constexpr std::string_view kReplaceFailed = "无法替换目标文件";

}  // namespace tolvane::texts
