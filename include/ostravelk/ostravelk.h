/*
 * Ostravelk camera driver: the C interface a host application uses.
 *
 * The driver reports one grabber with up to 20 ports. A host lists the cameras, binds a camera to
 * a port by name, registers a completion callback, starts grabs and copies the finished image out
 * row by row after the callback. Every function returns 1 for success and 0 for failure (null for
 * the camera name array); no function lets an error escape to the host.
 */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#if defined(OSTRAVELK_BUILDING)
#define OSTRAVELK_API __attribute__((visibility("default")))
#else
#define OSTRAVELK_API
#endif

/* Receives every log line the driver sends to the host, twice per line: time stamp, then text. */
typedef void (*DebugMsgProc)(const char* text);

/* Called when a finished image of a port is ready; grabberNo is always 0. */
typedef void (*CompleteCallback)(int grabberNo, int portNo);

OSTRAVELK_API int initialize(const char* systemPath, DebugMsgProc proc);
OSTRAVELK_API int finalize(void);
OSTRAVELK_API int setSystemPath(const char* path);
OSTRAVELK_API void setDebugMsgProc(DebugMsgProc proc);

OSTRAVELK_API int getCVLMaxNoOfGrabbers(void);
OSTRAVELK_API int getCVLMaxNoOfPorts(void);
OSTRAVELK_API int getCVLNoOfSupportedCameras(void);
OSTRAVELK_API const char** getCVLCameraConfigNames(void);

/* size receives width (size[0]) and height (size[1]) of the port's image. */
OSTRAVELK_API int openCVLPort(int grabberNo, int portNo, const char* cameraName, int* size);
OSTRAVELK_API void closeCVLPort(int grabberNo, int portNo);

OSTRAVELK_API int doCVLGrab(int grabberNo, int portNo);
OSTRAVELK_API int getCVLGrabRow(int grabberNo, int portNo, void* dest, int row, int firstCol,
                                int lastCol);
OSTRAVELK_API int setCompleteCallback(int grabberNo, int portNo, CompleteCallback callback);

OSTRAVELK_API int getPropertyRange(int grabberNo, int portNo, const char* name, int* min, int* max);
OSTRAVELK_API int getProperty(int grabberNo, int portNo, const char* name, int* value);
OSTRAVELK_API int setProperty(int grabberNo, int portNo, const char* name, int value);
/*
 * Commands of an open port; result receives at most resultSize bytes, always zero-terminated.
 *   "get"  argument NAME: the property's value as text.
 *   "set"  argument "NAME=VALUE": sets the property from text (an enumeration entry by name).
 *   "list" argument the first line wanted ("" or "0" for the start): one line per name that
 *          getProperty, setProperty, getPropertyRange and "get"/"set" accept, "\n"-terminated,
 *          with six tab-separated fields: name, type (int, int64, float, bool, enum, string,
 *          command), access (rw, ro, wo), value, range "[min..max]" or the enumeration's
 *          entries separated by ",", description. As many whole lines as fit; ask again from
 *          the first line not yet received until the result is empty. Returns 0 when the
 *          argument is no number or the first line wanted does not fit.
 * Other commands return 0.
 */
OSTRAVELK_API int execCmd(int grabberNo, int portNo, const char* command, const char* argument,
                          char* result, unsigned resultSize);

/* parent is the host's QWidget* (or null); returns 1 when the dialog was closed with OK. */
OSTRAVELK_API int configureCamera(void* parent, const char* cameraName);

#ifdef __cplusplus
}
#endif
