// Raw export of an encrypted file: the system's backup stream of an encrypted file,
// built from the clusters on disk without decrypting anything.
#pragma once
#include <cstdint>
#include "engine/snapshot/records.h"

class VolumeAccess;
struct EfsExportContext;

// Cancel callback: (bytes produced by this call, callback value) -> nonzero cancels.
using EfsCancelCallback = uint32_t (*)(uint32_t produced, uint32_t value);

EfsExportContext* CreateEfsExport(VolumeAccess* volume, ENTRY_STREAM* streams, void* buffer, uint32_t bufferSize,
                                  EfsCancelCallback cancel, uint32_t value);
uint32_t EfsExportCallback(uint8_t* data, EfsExportContext* context, uint32_t* length);
void DeleteEfsExport(EfsExportContext* context);
