// QzLibVersion.h: the library's version, as start-up writes it to the log.
#pragma once

extern const char* const kQzLibVersion;
