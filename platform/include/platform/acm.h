// acm.h: the Audio Compression Manager as far as the library uses it: IMA ADPCM,
// Microsoft ADPCM and MP3 WAVE data converted to 16-bit PCM, answered by
// platform/src/acm (our own ADPCM decoders, MP3 through libmpg123). Any thread; one
// stream is used by one thread at a time.
#pragma once

#include "platform/winmm.h"

#define WAVE_FORMAT_ADPCM 0x0002
#define WAVE_FORMAT_IMA_ADPCM 0x0011
#define WAVE_FORMAT_DVI_ADPCM 0x0011
#define WAVE_FORMAT_MPEGLAYER3 0x0055

#define ACMERR_BASE 512
#define ACMERR_NOTPOSSIBLE (ACMERR_BASE + 0)
#define ACMERR_BUSY (ACMERR_BASE + 1)
#define ACMERR_UNPREPARED (ACMERR_BASE + 2)
#define ACMERR_CANCELED (ACMERR_BASE + 3)

DECLARE_HANDLE(HACMDRIVER);
DECLARE_HANDLE(HACMSTREAM);
typedef HACMSTREAM* LPHACMSTREAM;

#pragma pack(push, 1)
// The format-specific tails that follow a WAVEFORMATEX (cbSize counts them).
typedef struct ima_adpcmwaveformat_tag {
    WAVEFORMATEX wfx;
    WORD wSamplesPerBlock;
} IMAADPCMWAVEFORMAT;

typedef struct adpcmcoef_tag {
    SHORT iCoef1;
    SHORT iCoef2;
} ADPCMCOEFSET;

typedef struct adpcmwaveformat_tag {
    WAVEFORMATEX wfx;
    WORD wSamplesPerBlock;
    WORD wNumCoef;
    ADPCMCOEFSET aCoef[1];  // wNumCoef of them
} ADPCMWAVEFORMAT;

#define MPEGLAYER3_WFX_EXTRA_BYTES 12
#define MPEGLAYER3_ID_UNKNOWN 0
#define MPEGLAYER3_ID_MPEG 1
#define MPEGLAYER3_ID_CONSTANTFRAMESIZE 2
#define MPEGLAYER3_FLAG_PADDING_ISO 0x00000000
#define MPEGLAYER3_FLAG_PADDING_ON 0x00000001
#define MPEGLAYER3_FLAG_PADDING_OFF 0x00000002

typedef struct mpeglayer3waveformat_tag {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;
    WORD nFramesPerBlock;
    WORD nCodecDelay;
} MPEGLAYER3WAVEFORMAT;
#pragma pack(pop)
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "MPEGLAYER3WAVEFORMAT is 30 bytes");

typedef struct wavefilter_tag WAVEFILTER, *LPWAVEFILTER;  // only NULL is accepted

// A conversion request. The library writes sizeof; the layer checks its own size.
#define ACMSTREAMHEADER_STATUSF_DONE 0x00010000u
#define ACMSTREAMHEADER_STATUSF_PREPARED 0x00020000u
#define ACMSTREAMHEADER_STATUSF_INQUEUE 0x00100000u

typedef struct tACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    LPBYTE pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    LPBYTE pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD dwReservedDriver[10];
} ACMSTREAMHEADER, *LPACMSTREAMHEADER;

#define ACM_FORMATSUGGESTF_WFORMATTAG 0x00010000u
#define ACM_FORMATSUGGESTF_NCHANNELS 0x00020000u
#define ACM_FORMATSUGGESTF_NSAMPLESPERSEC 0x00040000u
#define ACM_FORMATSUGGESTF_WBITSPERSAMPLE 0x00080000u

#define ACM_STREAMOPENF_QUERY 0x00000001u
#define ACM_STREAMOPENF_ASYNC 0x00000002u
#define ACM_STREAMOPENF_NONREALTIME 0x00000004u

#define ACM_STREAMSIZEF_SOURCE 0x00000000u
#define ACM_STREAMSIZEF_DESTINATION 0x00000001u

#define ACM_STREAMCONVERTF_BLOCKALIGN 0x00000004u
#define ACM_STREAMCONVERTF_START 0x00000010u
#define ACM_STREAMCONVERTF_END 0x00000020u

// With ACM_FORMATSUGGESTF_WFORMATTAG and a destination tag of WAVE_FORMAT_PCM: 16-bit
// PCM with the source's channels and rate, for IMA ADPCM, Microsoft ADPCM and MP3
// sources of 1-2 channels at 100-200000 Hz. Any other pairing gives ACMERR_NOTPOSSIBLE.
MMRESULT acmFormatSuggest(HACMDRIVER driver, LPWAVEFORMATEX source, LPWAVEFORMATEX destination,
                          DWORD destinationBytes, DWORD flags);
// Refuses (ACMERR_NOTPOSSIBLE) a source whose channels are not 1-2, whose samples per
// block do not fit its block alignment, or whose coefficient table is missing or runs
// past cbSize; the destination must be what acmFormatSuggest gives.
MMRESULT acmStreamOpen(LPHACMSTREAM stream, HACMDRIVER driver, LPWAVEFORMATEX source,
                       LPWAVEFORMATEX destination, LPWAVEFILTER filter, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags);
// Exact for ADPCM (whole blocks); an upper estimate for MP3.
MMRESULT acmStreamSize(HACMSTREAM stream, DWORD inputBytes, LPDWORD outputBytes, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags);
// ADPCM converts whole blocks; MP3 whole frames, each giving exactly its samples per
// frame (no gapless trimming; an info frame gives one silent frame). A call gives no
// output only when the data it was handed holds nothing more to decode.
MMRESULT acmStreamConvert(HACMSTREAM stream, LPACMSTREAMHEADER header, DWORD flags);
