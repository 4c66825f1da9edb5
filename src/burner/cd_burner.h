#pragma once
// TzqCDBurner: the one component through which everything that concerns a
// disc is done. It holds the compilation (the tree of folders and files
// that becomes the disc's file system), builds the image header from it and
// carries the device operations and write jobs.
//
// One compilation per component; the application makes one component.
// Every operation runs on the main thread. While a job runs, its worker
// threads read the tables, the entries and HeaderStream without locks: the
// application changes nothing until the job reports OnWriteDone.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "burner/compilation.h"
#include "burner/header_stream.h"
#include "burner/stream_errors.h"
#include "device/scsi_device.h"
#include "platform/dir_search.h"

class TzqCDBurner;

// Why an entry the user asked for is not in the compilation.
enum class TOmissionReason : uint8_t {
  Limit,        // the entry or folder table is full
  TooLarge,     // a file of 4 GiB or more
  NameTooLong,  // a name no directory record can hold
  Duplicate,    // the folder already holds an entry of that name
  Unreadable,   // the file or folder could not be read (on disk, or on a disc)
  NotRegular,   // a FIFO, socket or device; a folder given as a file
  LinkLoop,     // a folder link that leads back up the tree
  Skipped,      // the add handler chose to skip it
  Damaged,      // a directory record of a disc that cannot be read
};
// The word for a reason in machine-readable output ("too-large").
const char* OmissionReasonName(TOmissionReason Reason);

// One entry (a folder stands for everything below it) that an add or a
// session import left out, with the log's words for it.
struct TOmission {
  std::string Path;  // the source path on disk, or the path in the compilation
  TOmissionReason Reason = TOmissionReason::Skipped;
  std::string Message;
};

// What a running job is doing, in the order a burn goes through them.
enum class TJobPhase : uint8_t {
  Preparing,
  Writing,
  Synchronizing,
  ClosingTrack,
  ClosingSession,
  Finalizing,
  Verifying,
  Erasing,
  Formatting,
  Reading,
};

// What a write job was doing when it failed, recorded by its writer before
// the job reports its end.
struct TJobFailure {
  bool Recorded = false;
  TJobPhase Phase = TJobPhase::Preparing;
  // A command of the drive failed: its command block, sense area and text.
  bool FromCommand = false;
  std::array<uint8_t, kCdbSize> Cdb{};
  std::array<uint8_t, kSenseAreaSize> Sense{};
  std::string CommandError;
  // Sectors the recorder had taken when the job failed.
  int64_t SectorsWritten = 0;
};

// "var" parameters are references: the component uses what the handler
// leaves in them.
using TAddFileEvent = std::function<void(
    TzqCDBurner* Sender, const std::string& FullPath, std::string& LongFileName,
    std::string& ShortFileName, TDateTime& DateTime, int32_t Attr, int64_t FileSize, bool& Skip)>;
using TAddDirEvent = std::function<void(TzqCDBurner* Sender, std::string& LongName,
                                        std::string& ShortName, bool& Skip)>;
using TWriteDoneEvent = std::function<void(TzqCDBurner* Sender, const std::string& Error)>;
using TEraseDoneEvent = std::function<void(TzqCDBurner* Sender, bool WithError)>;
using TNotifyEvent = std::function<void(TzqCDBurner* Sender)>;
// After each block an extraction copied: bytes done of the file's total.
// Setting Abort ends the extraction (the file is not written).
using TExtractProgressEvent =
    std::function<void(TzqCDBurner* Sender, int64_t Done, int64_t Total, bool& Abort)>;

class TzqCDBurner : public TSCSIDevice {
 public:
  // Table sizes of the constructor (and of a session import) and of the
  // application's new compilations.
  static constexpr int32_t kDefaultMaxFiles = 65535;
  static constexpr int32_t kDefaultMaxDirs = 8191;
  static constexpr int32_t kAppMaxFiles = 600000;
  static constexpr int32_t kAppMaxDirs = 20000;
  static constexpr int32_t kDefaultCacheSize = 4194304;
  static constexpr int32_t kMinCacheSize = 2097152;
  static constexpr int64_t kPostGapSectors = 300;
  static constexpr int kMaxLongNameChars = 128;  // long names this long or longer are skipped

  TzqCDBurner();
  ~TzqCDBurner() override;

  // ---------------------------------------------------------------------
  // Published properties (the application's configuration).
  std::string IdVolume;
  std::string IdSystem;
  std::string IdVolumeSet;
  std::string IdPublisher;
  std::string IdPreparer;
  std::string IdApplication;
  std::string FileCopyright;
  std::string FileAbstract;
  std::string FileBibliographic;
  TDateTime DateCreation = 0;
  TDateTime DateModification = 0;
  TDateTime DateEffective = 0;   // kept, not written
  TDateTime DateExpiration = 0;  // kept, not written
  bool JolietFileSystem = true;
  bool ReplaceFile = false;
  TAddFileEvent OnAddFile;
  TAddDirEvent OnAddDir;

  std::string Version() const { return "1.1.7"; }
  void SetVersion(const std::string&) {}  // read-only: assigning has no effect

  int32_t CacheSize() const { return cache_size_; }
  // Below 2097152 stores 2097152; otherwise rounds down to a multiple of 2048.
  void SetCacheSize(int32_t Value);

  std::string ISOFileName;
  bool WritePostGap = true;
  bool FinalizeTrack = true;
  // FinalizeDisc, UnderrunProtection, ReadSpeed and WriteSpeed come from
  // TSCSIDevice: the write-parameters page and the speed commands read them.
  bool TestWrite = false;
  bool PerformOPC = false;

  // A blanking job is running; the erase job sets it.
  bool Erasing() const { return erasing_.load(); }
  void SetErasing(bool Value) { erasing_ = Value; }

  TWriteDoneEvent OnWriteDone;
  TNotifyEvent OnFinalizingTrack;
  TEraseDoneEvent OnEraseDone;
  // DebugWindow, DoDebug, OnDebugMessage, OnDeviceChange and the device
  // properties come from TSCSIDevice.

  // A folder or file added with its source path goes under the last folder
  // of that path only. False after construction.
  bool StripSourcePath = false;

  // ---------------------------------------------------------------------
  // The compilation tables.

  // Starts an empty compilation holding only the root; tables sized for
  // MaxFiles entries and MaxDirs folders (the root included).
  bool ClearAll(int32_t MaxFiles, int32_t MaxDirs);

  PDirEntry RootDir() const { return root_; }
  // Every folder in creation order; slot 0 is the root.
  const std::vector<PDirEntry>& DirTable() const;
  // The same folders in path-table order once a layout has ordered them.
  std::vector<PDirEntry>& IsoDirOrder();
  std::vector<PDirEntry>& JolietDirOrder();
  // Every entry (files and folder entries) in insertion order.
  const std::vector<PFileEntry>& FileTable() const;
  int32_t DirCount() const { return live_dirs_; }  // root included
  int32_t FileCount() const { return live_files_; }
  int32_t MaxDirs() const { return max_dirs_; }
  int32_t MaxFiles() const { return max_files_; }

  // Offset of local time from Greenwich in 15-minute units, taken when the
  // compilation was last emptied (standard time, never daylight saving).
  int16_t TimeZoneOffset() const { return time_zone_offset_; }
  static const std::array<uint8_t, 2048>& ZeroSector();

  // What the adds and imports since ClearAll left out, in the order it
  // happened; the log channel has reported each one (type 3 or 4).
  const std::vector<TOmission>& Omissions() const { return omissions_; }
  // Records an omission that a caller of the adding operations met itself
  // (a destination folder that could not be made, a name already there),
  // and reports it on the log channel (type 4).
  void NoteOmission(TOmissionReason Reason, const std::string& Path, const std::string& Message);

  // Sum of the files added since ClearAll, each rounded up to whole sectors.
  int64_t TotalAddedBytes() const { return total_added_bytes_; }

  // A folder by compilation path: "" and "\" give the root; one trailing
  // backslash and letter case (ASCII) do not matter; null when none.
  PDirEntry FindDir(const std::string& Path) const;
  int32_t DirsCount() const { return live_dirs_ - 1; }  // folders without the root
  int32_t FilesCount() const { return live_files_; }    // files and folder entries

  // Sectors of the session the next job writes, at least 300 with
  // WritePostGap (also when negative).
  int64_t ImageSectors() const;

  // The image header that Prepare builds; emptied by ClearAll.
  THeaderStream HeaderStream;

  // ---------------------------------------------------------------------
  // Adding files and folders.

  PFileEntry FindEntry(PDirEntry Dir, const std::string& LongName) const;
  PFileEntry FindEntryByPath(const std::string& DirPath, const std::string& LongName) const;
  // A folder from a search record; an existing folder of that path is
  // returned as it is. Null when a table is full or a file of that name is
  // already in Parent.
  PDirEntry CreateDir(PDirEntry Parent, const TSearchRec& Rec);
  // A folder by name (one leading and one trailing backslash removed);
  // short name by the 13-character rule, dated now.
  PDirEntry CreateDir(PDirEntry Parent, const std::string& Name, int32_t Attr);
  // Creates every missing folder of Path; the last one, or null when Path
  // ends with a backslash.
  PDirEntry ForceDirPath(const std::string& Path);
  // One file from a search record. 1 added, 0 not added.
  int32_t InsertFile(PDirEntry Dir, const TSearchRec& Rec, bool ClearArchive,
                     int32_t ImportedSector, const std::string& FullPath);
  // One file by host path into DestPath (or, WithPath, into the folders of
  // its source path). 1 added, 0 not added, 255 source not found.
  int32_t InsertFile(const std::string& DestPath, const std::string& SourceFile, bool WithPath);
  // The contents of a host folder (SourceDir begins with "/"), recursively.
  // A compilation-style SourceDir (\name\) only creates the WithPath folder.
  // 1 when the walk ran to its end, 0 when nothing was scanned or a folder
  // could not be created (which stops the walk).
  int32_t InsertDir(PDirEntry Dir, const std::string& SourceDir, bool ArchiveOnly, bool WithPath,
                    bool Recursive, int32_t AttrMask, const std::string& Mask);
  int32_t InsertDir(const std::string& DestPath, const std::string& SourceDir, bool ArchiveOnly,
                    bool WithPath, bool Recursive, int32_t AttrMask, const std::string& Mask);

  // ---------------------------------------------------------------------
  // Editing the compilation.

  // The entry after Cursor (the first when Cursor is null); Kind 1 for a
  // folder entry, 2 for a file. False at the end, Cursor and Kind kept.
  bool NextEntry(PDirEntry Dir, int32_t& Kind, PFileEntry& Cursor) const;
  // Removes Entry (with everything below a folder entry) from Dir. 1, or 0
  // when Entry is not in Dir.
  int32_t RemoveEntry(PDirEntry Dir, PFileEntry Entry);
  int32_t DeleteEntry(const std::string& DirPath, const std::string& LongName);
  // Removes a folder with everything below it; false for the root and for
  // a path that names no folder.
  bool DeleteDir(const std::string& Path);
  // Long name always; short name (upper-cased) only when NewShort (or
  // NewLong when NewShort is empty) has at most 13 characters: then true.
  bool RenameEntry(PFileEntry Entry, const std::string& NewLong, const std::string& NewShort);
  int32_t RenameFile(const std::string& DirPath, const std::string& OldLongName,
                     const std::string& NewShort, const std::string& NewLong);
  // Appends a copy of a file entry to another folder's list.
  bool CopyFile(const std::string& DestDirPath, const std::string& SrcDirPath,
                int32_t ImportedSector, const std::string& LongName);
  // Copies a folder's contents into another folder, recursively.
  bool CopyDir(const std::string& DestPath, const std::string& SrcPath, bool ArchiveOnly);
  // Clears the archive attribute of every written source marked ClearArchive.
  bool ClearArchiveBits();

  // ---------------------------------------------------------------------
  // The image layout.

  // Orders, numbers and places every folder, structure and file, then
  // writes the image header (every sector of the session before the first
  // file's data) into HeaderStream, which it empties first. ImageOnly: the
  // session starts at sector 0 (an image file); otherwise where the loaded
  // disc continues. Dir is not used. False, with the reason in the log
  // (type 4), only when a name of the compilation cannot be recorded (it
  // was renamed or imported past the record limits) or there are more
  // folders than a path table can number; nothing is written then.
  bool Prepare(bool ImageOnly, PDirEntry Dir = nullptr);

  // Layout results, valid until the compilation changes. Sectors are
  // absolute (of the disc, or of the image file); sizes are bytes.
  int32_t SessionStart = 0;    // first sector of the new session
  int32_t PvdSector = 0;       // primary volume descriptor
  int32_t SvdSector = 0;       // Joliet descriptor (with JolietFileSystem)
  int32_t TermSector = 0;      // descriptor set terminator
  int32_t IsoPathLSector = 0;  // ISO 9660 path tables, little- and big-endian
  int32_t IsoPathMSector = 0;
  int32_t JolietPathLSector = 0;  // the Joliet path tables
  int32_t JolietPathMSector = 0;
  int64_t IsoPathSize = 0;  // bytes of one table of each kind, before rounding
  int64_t JolietPathSize = 0;
  int32_t IsoDirsSector = 0;     // first sector of the ISO directory area
  int32_t JolietDirsSector = 0;  // first sector of the Joliet directory area
  int32_t FirstFileSector = 0;   // first sector of file data; never below 150
  int64_t HeaderPad = 0;         // zero bytes after the directories up to sector 150
  int64_t FileSectors = 0;       // the new files' data, in sectors
  int32_t SessionEnd = 0;        // first sector after the session
  int64_t SessionSectors = 0;    // set by Prepare, or by an image burn from its file

  // Appends the data of every new file of FileTable to the image file open
  // at ImageFd (positioned after the header; ImageName for messages): the direct writing of a quick
  // save, without cache or thread. Each file is copied in chunks of at most
  // 128 KiB, its last sector filled with zeros. Folder entries, imported
  // entries and empty files contribute nothing. A file that is not where the
  // layout placed it is reported as INTERNAL ERROR 0004 and written where it
  // is. A source that cannot be opened or read, or whose size is no longer
  // the size recorded when it was added, and a failed write of the image end
  // the copy: the result is then the job's error text; empty on success.
  std::string WriteImageData(int ImageFd, const std::string& ImageName);

  // ---------------------------------------------------------------------
  // Jobs: saving the compilation as an image file (the job frame and the
  // threads live in the recording engine).

  // Saves the laid-out compilation (Prepare(true) just before) as FileName.
  // Threaded: the read-ahead cache and the writer thread do the work and
  // OnWriteDone reports the end, on the writer thread (or here, when the
  // cache fails before the writer starts). QuickSave: written here, on the
  // calling thread, before SaveISO returns; OnWriteDone reports the end
  // here too. True; false only while another job runs (nothing started,
  // nothing reported).
  bool SaveISO(const std::string& FileName, bool QuickSave);
  // Starts the writer thread of a job whose reader is primed. Always true.
  bool StartWriteThread(bool ToImageFile);
  // Asks the running job to stop; it ends with "OPERATION ABORTED BY USER".
  void AbortWrite();
  // Bytes handed to the drive or the image file by the running job.
  std::atomic<int64_t> BytesWritten{0};
  // The running job's phase; the last job's, once it has ended.
  std::atomic<TJobPhase> JobPhase{TJobPhase::Preparing};
  // Set by a failing job's writer before OnWriteDone; cleared when a job
  // starts.
  TJobFailure JobFailure;
  // An image save writes here instead of opening ISOFileName when this is
  // a file descriptor (standard output, or a file the caller created); the
  // save leaves it open. Messages still name ISOFileName.
  int ImageFd = -1;
  // Fill level of the running job's buffer as a percentage of CacheSize;
  // 0 while no job runs.
  int32_t CacheFillPercent() const;

  // ---------------------------------------------------------------------
  // Jobs on the disc in the recorder: burning the compilation, burning an
  // image file, erasing (the threads live in the recording engine).

  // Burns the laid-out compilation (Prepare(false) just before) as a new
  // session where the layout put it. True when the writer thread was
  // started; false when the reader failed first (OnWriteDone has then been
  // raised here) or another job or an erase is running (nothing started,
  // nothing reported). The writer raises OnWriteDone at the end.
  bool BurnCD();
  // Burns an existing image file to an empty disc from sector 0; results
  // as BurnCD. SessionSectors becomes the file's size in whole sectors.
  bool BurnISO(const std::string& FileName);
  // Blanks a rewritable disc (BLANK with BlankType: 1 minimal, 0 the whole
  // disc) or formats a DVD+RW or DVD-RAM. True when the erase runs (its
  // thread raises OnEraseDone(false) when the drive is done, or (true) when
  // the drive failed); false when it could not start, after
  // OnEraseDone(true) has been raised here.
  bool EraseDisc(int32_t BlankType);
  // The erase's estimated progress in percent while Erasing; else 0.
  int32_t EraseProgress() const;

  // The waits of the jobs (retries, the lead-out, the erase) go through
  // the device's Sleep, which tests replace.
  using TSCSIDevice::Sleep;

  // ---------------------------------------------------------------------
  // Added by later work: session import and file extraction from a disc.

  // Reading a disc's file system (the disc in the selected recorder).
  // Folders nest at most this deep below the folder an import fills.
  static constexpr size_t kMaxImportDepth = 128;
  // Enters the Joliet hierarchy of session SessionNo (1-based; -1, that
  // is 255, or any number past the last session: the last one), or its
  // ISO 9660 hierarchy when it has no Joliet one, into Dir (null: the
  // root). Folders become ordinary folders; files are marked imported with
  // their extent on the disc. True when a hierarchy was found and read;
  // what was left out, and why, goes to the log (type 4).
  bool ImportSession(int8_t SessionNo, PDirEntry Dir);
  // The walks of one hierarchy from the folder at Sector (Size bytes) down,
  // depth first. True when that folder held any record.
  bool ReadJolietDir(uint32_t Sector, uint32_t Size, PDirEntry Dir);
  bool ReadIsoDir(uint32_t Sector, uint32_t Size, PDirEntry Dir);
  // Copies an imported file's data from the disc into DestFile, dated with
  // the entry's date. The file appears under its name only once all of it
  // was read: an unreadable sector, or an abort from OnExtractProgress,
  // leaves no file (and an existing one as it was) and gives false with a
  // log line. ReplaceExisting false: an existing DestFile is never replaced.
  // Raises EFCreateError when DestFile cannot be created (or exists and may
  // not be replaced) and EWriteError when writing it fails.
  bool ExtractFile(PFileEntry Entry, const std::string& DestFile, bool ReplaceExisting = true);
  TExtractProgressEvent OnExtractProgress;

 protected:
  // Where the loaded disc takes its next session for a burn's layout: 0 on
  // DVD media, else the invisible track's next writable address (0 when it
  // cannot be read). Sets CurrentMediaType. Tests may stand in for a disc.
  virtual int32_t NextSessionStart();

 private:
  struct WalkState;

  PDirEntry NewDirEntry();
  PFileEntry NewFileEntry();
  // Appends to Dir's list and to its name index.
  void LinkEntry(PDirEntry Dir, PFileEntry Entry);
  // Takes Entry out of its folder's list and name index.
  void UnlinkEntry(PFileEntry Entry);
  void IndexName(PFileEntry Entry);
  void UnindexName(PFileEntry Entry);
  // Marks records removed; the tables drop them in one pass when next read.
  void DiscardFile(PFileEntry Entry);
  void DiscardDir(PDirEntry Dir);
  void Compact() const;
  void FreeAll();

  enum class CreateResult { Created, Existing, TableFull, NameTaken, NameTooLong };
  int32_t AddFileRecord(PDirEntry Dir, TSearchRec&& Rec, bool ClearArchive, int32_t ImportedSector,
                        std::string&& FullPath);
  PDirEntry CreateDirEx(PDirEntry Parent, const TSearchRec& Rec, CreateResult& Result);
  // Target folder of a WithPath add from a source folder path.
  PDirEntry WithPathTarget(PDirEntry Dir, std::string SourceDir);
  int32_t Walk(PDirEntry Dir, const std::string& SourceDir, bool ArchiveOnly, WalkState& State);
  void OmitRest(const std::vector<TSearchRec>& Subfolders, size_t From,
                const std::string& SourceDir);
  void Report(const char* Format, const std::string& A, const std::string& B = std::string());
  // Report, and the entry recorded as left out.
  void Omit(TOmissionReason Reason, const char* Format, const std::string& A,
            const std::string& B = std::string());
  bool CopyDirInto(const std::string& DestPath, PDirEntry Src, bool ArchiveOnly);

  // Layout steps (layout.cpp).
  bool CheckNames(const std::vector<PDirEntry>& Dirs);
  void MakeIsoNamesUnique(const std::vector<PDirEntry>& Dirs);
  void MakeJolietNames(const std::vector<PDirEntry>& Dirs);
  void OrderDirectories(const std::vector<PDirEntry>& Dirs);
  void WriteHeader(const std::vector<PDirEntry>& Dirs, TDateTime Now);

  int32_t cache_size_ = kDefaultCacheSize;
  std::atomic<bool> erasing_{false};  // read by the poller while the eraser runs

  PDirEntry root_ = nullptr;
  // The tables hold removed records (Removed set) until the next read
  // compacts them, so that taking out a large folder, or many entries one
  // after the other, costs one pass instead of one pass per entry.
  mutable std::vector<PDirEntry> dir_table_;
  mutable std::vector<PDirEntry> iso_dir_order_;
  mutable std::vector<PDirEntry> joliet_dir_order_;
  mutable std::vector<PFileEntry> file_table_;
  mutable size_t removed_dirs_ = 0;
  mutable size_t removed_files_ = 0;
  int32_t live_dirs_ = 0;
  int32_t live_files_ = 0;
  int32_t max_dirs_ = 0;
  int32_t max_files_ = 0;
  uint64_t next_order_ = 0;
  // Folders by Path (the root not included).
  std::unordered_map<std::string, PDirEntry> dirs_by_path_;
  int16_t time_zone_offset_ = 0;
  int64_t total_added_bytes_ = 0;
  std::vector<TOmission> omissions_;
};
