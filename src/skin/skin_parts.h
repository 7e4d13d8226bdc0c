#pragma once

#include <vector>

#include "skin/skin.h"

// The groups of skin files; each appends its files.
void AddToolbarImages(std::vector<SkinFile>& files);
void AddFrameImages(std::vector<SkinFile>& files);
void AddListImages(std::vector<SkinFile>& files);
void AddShareImages(std::vector<SkinFile>& files);
void AddButtonImages(std::vector<SkinFile>& files);
void AddScrollImages(std::vector<SkinFile>& files);
void AddWindowImages(std::vector<SkinFile>& files);
void AddUpdaterImages(std::vector<SkinFile>& files);
void AddSoundAndTemplates(std::vector<SkinFile>& files);
