// Output straight onto a portable player attached as a drive. A PSP is a drive with the folder
// PSP/GAME, a WALKMAN one with MP_ROOT; their media folders VIDEO and MUSIC lie at the root of
// the drive. Nothing is remembered: the drives are looked through afresh for every placeholder,
// so a player attached during a run is used from the next command line on.
#pragma once

#include <string>
#include <string_view>

#include "platform/Drives.h"
#include "platform/PathRules.h"

namespace palomix {

// Folders relative to a drive's root are written with '/' between their parts ("PSP/GAME")
// and joined with the separator of the path style.
inline constexpr std::string_view kPspMarkerFolder = "PSP/GAME";
inline constexpr std::string_view kWalkmanMarkerFolder = "MP_ROOT";
inline constexpr std::string_view kVideoFolder = "VIDEO";
inline constexpr std::string_view kMusicFolder = "MUSIC";

// Replaces the first occurrence of the placeholder in the line by the path of the output file
// on the first drive (in list order) that carries the marker folder as a folder: the drive,
// the media folder and the file name, joined with the style's separator ("E:\VIDEO\clip",
// "/media/psp/VIDEO/clip"). The media folder is created, with its parents, on that drive only
// and before the function returns; a failure to create it is ignored and the path inserted
// all the same. Without any matching drive the placeholder is simply removed. A line without
// the placeholder is left alone and no drive is looked at. Errors on one drive (including an
// exception from the DeviceAccess) pass that drive over; nothing is thrown. False when the
// placeholder was in the line and no drive carries the marker folder.
// `usedDrive`, when given, receives the drive whose media folder was inserted.
bool InsertDevicePaths(std::string& line, std::string_view placeholder,
                       std::string_view markerFolder, std::string_view mediaFolder,
                       std::string_view fileName, DeviceAccess& devices,
                       PathStyle style = NativePathStyle(), std::string* usedDrive = nullptr);

// A file name that a player's FAT32 card accepts: \ / : * ? " < > | and control characters
// become '_', trailing dots and blanks are removed, and the name is cut to at most 255 UTF-16
// units without splitting a character. An empty result becomes "_".
std::string FatSafeName(std::string_view name);

}  // namespace palomix
