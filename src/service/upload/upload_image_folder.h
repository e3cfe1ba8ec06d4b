#pragma once
// The shared image-library folder (prepared upload images and back-upload items) and its lock.
// Every access to an image under the Cache folder is bracketed by a Begin and an End call keyed
// by the image's group, subgroup and name: read holds are shared, write holds exclusive, and the
// holds are flock locks on lock files, so they reach across processes and vanish with a process
// that dies holding one.
#include <cstdint>
#include <string>

#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EImageLibError, Error);

// $XDG_DATA_HOME/Morvane/ImageLib, computed once.
std::string ImageLibFolder();
// The BackUpload folder, or the folder of a long session below it.
std::string ImageLibBackUploadFolder(const std::string& longSessionId = "");
// The Cache folder, and the folder of one photo book below it: Cache/<group>/<subgroup>.
std::string ImageLibCacheRoot();
std::string ImageLibCacheFolder(const std::string& group, const std::string& subgroup);
// Cache/<group>/<subgroup>/<name>.jpg. The three parts come from the service: each passes through
// ServicePathComponent (an empty group or subgroup is "Unknown"), so the path stays below Cache.
// An empty name raises EImageLibError.
std::string ImageLibCachePath(const std::string& group, const std::string& subgroup, const std::string& name);

// Non-zero when the hold was obtained within timeoutMs milliseconds (-1: wait without limit).
// Each successful Begin is followed by one End of the same kind and key, also when the work
// between them fails.
int ImageLibBeginRead(const std::string& group, const std::string& subgroup, const std::string& name, int timeoutMs);
void ImageLibEndRead(const std::string& group, const std::string& subgroup, const std::string& name);
int ImageLibBeginWrite(const std::string& group, const std::string& subgroup, const std::string& name, int timeoutMs);
void ImageLibEndWrite(const std::string& group, const std::string& subgroup, const std::string& name);

}  // namespace plb
