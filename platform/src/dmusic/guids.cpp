// dmusic/guids.cpp: the class, interface and parameter ids of DirectMusic. The values
// are the platform's own; only their identity matters.
#include "platform/dmusic.h"

#define QZ_DMUS_GUID(n) {0x51A00200u + (n), 0x7A2B, 0x4C3D, {0x9E, 0x11, 0x50, 0x55, 0x4E, 0x44, 0x4D, (n)}}

const CLSID CLSID_DirectMusic = QZ_DMUS_GUID(1);
const CLSID CLSID_DirectMusicLoader = QZ_DMUS_GUID(2);
const CLSID CLSID_DirectMusicPerformance = QZ_DMUS_GUID(3);
const CLSID CLSID_DirectMusicSegment = QZ_DMUS_GUID(4);
const IID IID_IDirectMusic = QZ_DMUS_GUID(5);
const IID IID_IDirectMusic8 = QZ_DMUS_GUID(6);
const IID IID_IDirectMusicLoader8 = QZ_DMUS_GUID(7);
const IID IID_IDirectMusicPerformance8 = QZ_DMUS_GUID(8);
const IID IID_IDirectMusicSegment = QZ_DMUS_GUID(9);
const IID IID_IDirectMusicSegment8 = QZ_DMUS_GUID(10);
const GUID GUID_StandardMIDIFile = QZ_DMUS_GUID(11);
