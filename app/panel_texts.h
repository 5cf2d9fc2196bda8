#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "files/saved_file.h"
#include "imaging/picture_file.h"

// The texts the window shows beyond its layout's and the log's own: Chinese like those, in
// one table that both windows use. "%1", "%2" stand for what is filled in; a system's
// reason is quoted as the system gives it.
namespace panel::texts {

// Message boxes.
inline constexpr std::string_view kUnreadablePicture = "无法读取图片“%1”：%2";
inline constexpr std::string_view kMissingDemoPicture = "找不到演示图片“%1”，已查找：%2";
inline constexpr std::string_view kFolderSeparator = "、";
inline constexpr std::string_view kUnsavedFile = "无法保存“%1”：%2";
inline constexpr std::string_view kNoPreviewYet = "还没有可保存的预览。";
inline constexpr std::string_view kPreviewNotEncoded = "无法把预览编码为 PNG。";
inline constexpr std::string_view kUnreadableClipboard = "无法读取剪贴板中的图片：%1";

// A picture's problems, in the order of imaging::PictureProblem; %1 is its detail.
inline constexpr std::array<std::string_view, 8> kPictureProblems = {
    "文件不存在",           // Missing
    "不是普通文件",         // NotRegularFile
    "文件大于 64 MiB",      // TooLarge
    "无法打开文件",         // CannotOpen
    "读取出错",             // ReadFailed
    "不是图片",             // NotAPicture
    "图片太大（%1 像素）",  // PictureTooLarge
    "%1",                   // SystemError
};
// A save's problems, in the order of files::SaveProblem.
inline constexpr std::array<std::string_view, 2> kSaveProblems = {
    "不是普通文件",  // NotRegularFile
    "%1",            // SystemError
};
// The clipboard's own problems.
inline constexpr std::string_view kClipboardEmpty = "没有数据";
inline constexpr std::string_view kClipboardTooLarge = "数据太大（%1 MiB）";
inline constexpr std::string_view kClipboardOwnerSilent = "占用剪贴板的程序没有响应";

// `format` with %1, %2 ... replaced by `values` in order.
std::string Format(std::string_view format, std::initializer_list<std::string_view> values);

// Why a picture cannot be had.
std::string PictureReason(imaging::PictureProblem problem, std::string_view detail = {});
// Why a picture cannot be had, in a message box's sentence: a file's problem by its code,
// any other error (a JPEG error, say) by its own text.
std::string UnreadablePicture(const std::filesystem::path& path, const std::exception& error);
std::string UnsavedFile(const files::ESavedFile& error);

}  // namespace panel::texts
