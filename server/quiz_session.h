// The quiz session: the content the player serves, its learners and their
// tests, and the administrator, answering the requests its HTTP transport
// (THttpServer) hands it. It serves the content's files and answers the
// content's "?action=" requests, every reply closing its connection.
//
// Everything runs on one event loop. Nothing waits inside a handler: a file
// reply is queued on its connection and streamed as the client takes it.
//
// Handlers (the action dispatch and what it calls) are members of this class
// and have the form  bool Handler(TNetStream* channel, TRequestMap& map);
// they reply through exactly one of ReturnXML, ReturnHTML or SendFile (each
// closes the channel) and read content files with LoadFileToString, or for
// the server's own files through GetPackageReader().
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "content/groups.h"
#include "content/text_lists.h"
#include "content/users.h"
#include "content/xor_file_stream.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/folder_lock.h"
#include "platform/window_timers.h"
#include "server/http/action_table.h"
#include "server/http/http_server.h"
#include "server/http/net_stream.h"
#include "server/http/replies.h"
#include "server/quiz/grade_table.h"
#include "server/road/content_resolver.h"
#include "server/sessions/admin_session.h"
#include "server/sessions/session_params.h"
#include "server/sessions/sessions_list.h"
#include "server/stats/stats_cache.h"

namespace server {

// A table file that could not be read whole when the content opened: the
// table holds what could be read, and no change is stored over the file.
struct TTableFault {
  std::string path;
  std::string reason;
};

class TQuizSession {
 public:
  static constexpr uint32_t kSweepIntervalMs = 5000;

  // The transport's port (see THttpServer). Seeds the process's
  // pseudo-random generator from the clock. The loop must outlive the server.
  TQuizSession(plat::EventLoop& loop, uint16_t port, const TServerLimits& limits = {});
  // Closes the listener and every connection.
  ~TQuizSession();
  TQuizSession(const TQuizSession&) = delete;
  TQuizSession& operator=(const TQuizSession&) = delete;

  // The transport's (see THttpServer); SetPath closes the listener, so read
  // GetPort after Open. StopListening is for closing the player without
  // cutting a reply short.
  bool Open() { return http_.Open(); }
  void Close() { http_.Close(); }
  void StopListening() { http_.StopListening(); }

  // Selects the content: a package gives packed mode; an existing file its
  // folder, and a folder folder mode. Frees the package reader and closes the
  // listener first (Open listens again). A path that is neither changes
  // nothing else. False when the path did not open (see GetContentError).
  //
  // Opening also picks the data folder, loads the users and groups tables
  // (the data folder's copy first, else the content's) and the skip-start-page
  // marker; a package further gives the project id, title, subject titles and
  // grade table, and its data folder is checked against the package's time
  // stamp (learner data of other content is moved aside, never deleted) and
  // of session folders of users who no longer exist (moved aside too). Files
  // that cannot be read or written there are logged, and said on standard
  // error where a user must know; the content still opens. A table that
  // cannot be read whole is said on standard error and kept from being
  // written over (see ChangeTables).
  //
  // The data folder is held for this server alone until the next SetPath or
  // the server's end (a lock that ends with the process, however it ends):
  // when another player holds it, nothing opens, SetPath gives false and
  // IsDataFolderHeldElsewhere says why. Holding it, opening also removes the
  // temporary files a save cut short left there.
  bool SetPath(const std::string& path);

  // Answers one complete request; false means the caller sends the error page.
  bool ProcessHttpRequest(TNetStream* channel, std::string_view request);
  // A query request (the text after '?'): splits it at '&' and '=', decodes
  // every token, and calls the handler that the action names. False (the
  // error page) when the action is missing, unknown or not built, or when its
  // handler fails before replying; a handler failing after its reply began
  // gets its connection closed.
  bool ProcessRequest(TNetStream* channel, std::string_view query);
  // The handlers, by action name (server/actions/quiz_actions.cpp). They are
  // registered at construction; tests may replace them.
  TActionTable& GetActionTable() { return actions_; }
  // Sends a content file with its header and closes the channel. The name is
  // taken as the content road takes it (TContentResolver::Open). False when
  // its type is not served or it cannot be opened; nothing is sent then.
  bool SendFile(TNetStream* channel, std::string_view path);
  // A content file's text, each block of it up to its first NUL; "" when it
  // cannot be opened.
  std::string LoadFileToString(std::string_view path);
  // The same text, or nullopt when the file cannot be opened, for callers
  // that tell a missing file from an empty one.
  std::optional<std::string> LoadFileText(std::string_view path);
  // The transport's replies (server/http/replies.h), where handlers call them.
  void ReturnHttpError(TNetStream* channel, std::string_view message) { server::ReturnHttpError(channel, message); }
  void ReturnXML(TNetStream* channel, std::string_view body) { server::ReturnXML(channel, body); }
  void ReturnHTML(TNetStream* channel, std::string_view html, bool raw) { server::ReturnHTML(channel, html, raw); }

  uint16_t GetPort() const { return http_.GetPort(); }
  bool IsListening() const { return http_.IsListening(); }
  size_t GetConnectionCount() const { return http_.GetConnectionCount(); }

  bool GetPackedMode() const { return content_.IsPacked(); }
  // Folder mode: the content folder with a trailing '/'; packed mode: the
  // package's path; "" before any content opened.
  const std::string& GetContentFolder() const { return content_folder_; }
  // Why the last SetPath did not open its path.
  const std::string& GetContentError() const { return content_error_; }
  // The last SetPath found its data folder held by another player; the
  // content error says which folder and what to do.
  bool IsDataFolderHeldElsewhere() const { return data_folder_held_elsewhere_; }
  // The open package, null in folder mode.
  const content::TXORFileStream* GetPackageReader() const { return content_.GetPackage(); }
  const TContentResolver& GetContent() const { return content_; }

  // Where learner records live, with a trailing '/'; "" before any content.
  const std::string& GetDataFolder() const { return data_folder_; }
  // Packed mode: the package's project id; "" when it has none usable as a folder name.
  const std::string& GetProjectId() const { return project_id_; }
  bool GetSkipStartPage() const { return skip_start_page_; }
  // The name that the last skip-start-page login gave.
  const std::string& GetSkipStartPageLoginName() const { return skip_start_page_login_name_; }
  // The full name of the last learner who logged in, or the anonymous name
  // of a skip-start-page login.
  const std::string& GetUserNameText() const { return user_name_; }
  content::TUsersList& GetUsers() { return users_; }
  content::TGroupsList& GetGroups() { return groups_; }
  // A package's "projecttitle.txt", "subjects.sysdata" lines (line i is the
  // title of subject i + 1) and "grades.sysdata"; folder mode keeps those of
  // a package opened before.
  const std::string& GetProjectTitle() const { return project_title_; }
  const content::TStringList& GetSubjectTitles() const { return subject_titles_; }
  const TGradeTable& GetGradeTable() const { return grades_; }

  // The learner sessions. Take TSessionsLock around any lookup and use.
  TSessionsList& GetSessions() { return sessions_; }
  // Some learner session exists (read without the lock).
  bool IsActiveSession() const { return sessions_.Count() > 0; }
  // Writes the session to path and its name to path + ".name" (both through
  // a temporary name, folders created). An empty path (content without a
  // project id) does nothing. Throws plat::FileError.
  void StoreSession(const std::string& path, const TQuizSessionParams& session);
  // Writes the session to the data folder's
  // "Sessions/<safe login name>/lastsession.session". Nothing before content
  // has opened. Throws plat::FileError.
  void StoreCurrentSession(const TQuizSessionParams& session);
  // Where the learner's last session is stored (see StoreCurrentSession).
  std::string StoredSessionPath(const std::string& login_name) const;

  // The learner chose to restore the previous skip-start-page session: the
  // start-up code sets these before SetPath and Open; "logout" clears the flag.
  bool GetRestoreFlag() const { return restore_flag_; }
  void SetRestoreFlag(bool restore) { restore_flag_ = restore; }
  const std::string& GetRestoredUserName() const { return restored_user_name_; }
  void SetRestoredUserName(std::string name) { restored_user_name_ = std::move(name); }
  const std::string& GetStateFilePath() const { return state_file_path_; }
  void SetStateFilePath(std::string path) { state_file_path_ = std::move(path); }

  // Handlers.
  // "login": parameters "name", "email", "number", "username", "password".
  // Checks the credentials (skip-start-page mode takes anyone), stores and
  // replaces the learner's earlier session, fills the new one from the last
  // stored session or state file, and answers
  // <movie error="0" sessionid="..." UserName="..." />.
  bool DoLogin(TNetStream* channel, content::TRequestMap& map);
  // "logout": clears the restore flag and answers with the content's start page.
  bool Logout(TNetStream* channel, content::TRequestMap& map);

  // Question generation. "genquestions" and "regenquestions": parameters
  // "sessionid" and "subject" (0-19, the test slot). The first draws the
  // subject's test when its slot is empty, else keeps the test and its
  // answers, and counts one more use; the second always draws afresh and
  // counts one more test id. Both answer
  // <movie generated="1" questionscount="N" questionstimer="T"/>, or
  // <movie generated="0"/> when there is no such session or slot. A subject
  // that is not a number raises before any session is touched.
  bool GenerateQuestions(TNetStream* channel, content::TRequestMap& map);
  bool ReGenerateQuestions(TNetStream* channel, content::TRequestMap& map);
  // Draws the test in the session's slot for the subject (the slot must
  // hold a test; nothing happens otherwise) and stores the session.
  void RawGenerateQuestions(int32_t subject, TQuizSessionParams& session);
  // The subject's question index holds a question. Never throws; takes no lock.
  bool HasSubjectQuestions(int32_t subject) const;

  // The learner road on a drawn test; parameters "sessionid", "subject" and
  // as below. A missing session, a subject outside 0-19 or an empty slot
  // gives <movie generated="0"/> and changes nothing. A subject that is not
  // a number raises before any session is touched.
  // "getquestion": "qindex" (from 1).
  bool GetQuestion(TNetStream* channel, content::TRequestMap& map);
  // "putanswer": "qindex" (from 1), "answer" (1-5). Records the choice and
  // adds a record to the learner's answers.xml, dated today (not in
  // skip-start-page mode).
  bool PutAnswer(TNetStream* channel, content::TRequestMap& map);
  // "getfeedbackindex": which feedback lists have entries.
  bool GetFeedbackIndex(TNetStream* channel, content::TRequestMap& map);
  // "getoverallperfomance": score and grade band; <movie /> without a band.
  bool GetOverallPerfomance(TNetStream* channel, content::TRequestMap& map);
  // "getindividualfeedback": "wronganswers" (0: every answered question,
  // else the wrongly answered ones), "feedbackquestionindex" (from 1 within
  // them, default 1); <movie /> outside them.
  bool GetIndividualFeedback(TNetStream* channel, content::TRequestMap& map);

  // Administrator requests. Groups and users are named by their index in
  // their table, from 0; "-1" names a new one. Changed tables are written to
  // the data folder at once; values that cannot stand in a table are refused
  // and the request answers as when nothing changes. A change whose table
  // cannot be written, or was not read whole, is not made: the answer is
  // <movie errortext="..." /> saying why.
  //
  // True when session_id names the administrator session and it has not
  // lapsed (two hours after its login); a lapsed session is freed.
  bool IsAdminOK(std::string_view session_id);
  // How every administrator handler but the login begins: true when
  // "sessionid" passes IsAdminOK; otherwise answers kAdminNotLoggedIn and
  // gives false, and the handler returns true without doing anything else.
  bool CheckAdminSession(TNetStream* channel, const content::TRequestMap& map);
  bool AdminLogin(TNetStream* channel, content::TRequestMap& map);
  bool AdminChangePass(TNetStream* channel, content::TRequestMap& map);
  bool AdminModules(TNetStream* channel, content::TRequestMap& map);
  bool AdminGetGroups(TNetStream* channel, content::TRequestMap& map);
  bool AdminAddGroup(TNetStream* channel, content::TRequestMap& map);
  bool AdminChangeGroup(TNetStream* channel, content::TRequestMap& map);
  bool AdminDeleteGroup2(TNetStream* channel, content::TRequestMap& map);
  bool AdminAddEditGroup(TNetStream* channel, content::TRequestMap& map);
  bool AdminEditGroup(TNetStream* channel, content::TRequestMap& map);
  bool AdminGetUser(TNetStream* channel, content::TRequestMap& map);
  bool AdminAddEditUser(TNetStream* channel, content::TRequestMap& map);
  bool AdminDeleteUser(TNetStream* channel, content::TRequestMap& map);
  const TAdminSession& GetAdminSession() const { return admin_session_; }

  // Statistics, for the administrator. Parameters "group" ("-1": all users,
  // else a group's index), "module" ("-1": all, else a module's title
  // index) and "employee" (a user's index, "-1": none). Each page answers
  // with its figures and selection lists and replaces its own CSV text and
  // graphs. The overview rereads every learner's answers first; the employee
  // pages use the records the last overview read.
  bool AdminStatsIndex(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsEmployee(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsModule(TNetStream* channel, content::TRequestMap& map);
  // The CSV texts as the pages last left them (empty before).
  bool AdminStatsGetGroupCSV(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsGetEmployeeCSV(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsGetModulesCSV(TNetStream* channel, content::TRequestMap& map);
  // The graphs as JPEG images; without one the not-logged-in element.
  bool AdminStatsGetIndexGraph(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsGetModulesGraph(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsGetEmployeeGraph(TNetStream* channel, content::TRequestMap& map);
  bool AdminStatsGetEmployeeGraph2(TNetStream* channel, content::TRequestMap& map);
  // A download saved as file_name; closes the channel.
  bool SendCSV(TNetStream* channel, std::string_view text, std::string_view file_name);
  // A JPEG image reply; closes the channel.
  bool SendJPEG(TNetStream* channel, std::string_view image);
  const TStatsCache& GetStatsCache() const { return stats_; }

  // Content pages. Names of files that a request supplies must be plain
  // relative content names (IsRequestedContentName) and go through the
  // content road; request values shown in a page are HTML-escaped.
  //
  // "search_text": "keywords", "sessionid". The hits of Search.xml with the
  // keywords highlighted, or the no-match page; sent percent-encoded. A
  // missing Search.xml finds nothing; one that cannot be read raises.
  bool SearchText(TNetStream* channel, content::TRequestMap& map);
  // "view_result": "sessionid", "id" (strict). The viewer page of one hit.
  bool ViewResult(TNetStream* channel, content::TRequestMap& map);
  // The viewer page of "id" for the session "sessionid"; "" when there is no
  // such session or hit.
  std::string BuildSearchResultPage(const content::TRequestMap& map);
  // "getscript": "filename". The file as display text (PrepareHtmlText).
  bool GetScript(TNetStream* channel, content::TRequestMap& map);
  // "print_script": a printable question ("question" set), feedback
  // ("feedback"), overall performance ("perfomance") or script page.
  bool PrintScript(TNetStream* channel, content::TRequestMap& map);
  // "loadstartpagexml": startpage.xml, with the restore offer while a
  // previous session is being restored.
  bool LoadStartPageXml(TNetStream* channel, content::TRequestMap& map);
  // "getfile": "filename". Sends the content file; false (the error page)
  // when the name is refused, absent or of a type not served.
  bool ReturnFile(TNetStream* channel, content::TRequestMap& map);
  // The text of the content file a request names; "" when the name is
  // refused or the file is absent.
  std::string LoadRequestedFile(std::string_view name);

 private:
  // SendFile with the file already open (null: opened by its name here).
  bool SendFile(TNetStream* channel, std::string_view path, std::unique_ptr<TContentFile> file);
  void OnSweepTimer();
  // Puts every handler into the action table, by the action it answers.
  void RegisterActions();

  // Content opening; false when the data folder is held elsewhere.
  bool OpenPackage(const std::string& path);
  bool OpenFolder(const std::string& folder);
  // The data folder: when the stored setting could not give it, says which
  // folder is used instead; then holds it (see SetPath), creating a missing
  // one. False, with nothing open, when another player holds it. A folder
  // that cannot be written (a read-only medium) is said once, here.
  bool TakeDataFolder(const std::string& setting_problem);
  // Says on standard error that what (a sentence without its end) failed
  // for the error's reason, unless opening said already that the data
  // folder cannot be written for that reason.
  void SayNotStored(std::string_view what, const plat::FileError& error) const;
  // Removes the temporary files a save cut short left in the data folder,
  // its session folders and (skip-start-page mode) beside the state file;
  // takes others' permissions off the files that hold passwords; says when
  // the administrator's password cannot be known.
  void TidyDataFolder();
  // Replaces the users and groups tables: the data folder's files when they
  // exist, else the content folder's (folder mode) or the package's entries.
  // Notes whether the users table was read whole.
  void LoadTables();
  void LoadPackageSettings(const content::TXORFileStream& package);

  // Data folder housekeeping (packed mode).
  void CheckTimeStamp();
  // Writes the time stamp and the package's identity where they differ from
  // what is stored; a failure is said on standard error.
  void WriteTimeStamp();
  void RemoveStaleSessionFolders();
  // Whether the data folder may be set aside: it is the project id's own
  // folder and holds no part of the open package, or a link of that name
  // (which alone moves).
  bool MaySetDataFolderAside() const;
  // Moves the data folder aside for a new empty one and says so; false, with
  // the reason said, when it stays where it was.
  bool SetDataFolderAside();

  // Login steps, under the session list's lock.
  void ReplaceEarlierSessions(const std::string& login_name);
  void FillNewSession(TQuizSessionParams& session, const std::string& name, const std::string& email,
                      const std::string& number, const std::string& login_name);
  // What becomes of a stored session file that is damaged (besides the line
  // on standard error): the learner's own last session is moved aside, so
  // that the next store does not write over it.
  enum class TDamagedSession { kKeep, kSetAside };
  // Fills the session from the file; false when there is none or it cannot
  // be read (said on standard error), the session then as it was.
  bool LoadStoredSession(const std::string& path, TQuizSessionParams& session,
                         TDamagedSession damaged = TDamagedSession::kKeep);
  // Stores, and says a failure on standard error instead of raising it:
  // why the session could not be stored, or nullopt when it was.
  std::optional<std::string> TryStoreSession(const std::string& path, const TQuizSessionParams& session);
  // After a learner request changed or read the session: the state file in
  // skip-start-page mode, else the learner's last session; failures as
  // TryStoreSession gives them.
  std::optional<std::string> StoreLearnerSession(const TQuizSessionParams& session);

  // The learner road's frame: reads "sessionid" and the strict "subject" (a
  // subject that is not a number raises before any session is touched);
  // under the session list's lock, when the session exists and the subject
  // names one of its slots, use gives the reply, else it is
  // <movie generated="0"/>. The reply goes out after the lock is left.
  using TSessionUse = std::function<std::string(TQuizSessionParams& session, int32_t subject)>;
  bool AnswerForSession(TNetStream* channel, const content::TRequestMap& map, const TSessionUse& use);
  // The same where the slot must hold a test.
  using TTestUse = std::function<std::string(TQuizSessionParams& session, TSessionQuestions& test, int32_t subject)>;
  bool AnswerForTest(TNetStream* channel, const content::TRequestMap& map, const TTestUse& use);

  // Question generation: the settings, index, draw and maximum scores of
  // the subject's test.
  void FillTest(int32_t subject, TSessionQuestions& test);
  // The subject's question index as text; "" when it has none.
  std::string QuestionIndexText(int32_t subject) const;
  // Where a NUL ends a content file's text: in each block of kFileBlockSize
  // bytes, as the content's pages are read, or once for the whole text.
  enum class NulEnd { kEachBlock, kWholeText };
  // A content file's text; nullopt when it cannot be opened. Throws
  // plat::FileError when it cannot be read.
  std::optional<std::string> ReadContentText(std::string_view name, NulEnd nul_end = NulEnd::kWholeText) const;
  // Adds the answers record of the test's running totals. Why it could not
  // (said on standard error too), or nullopt when it did.
  std::optional<std::string> WriteAnswersRecord(const TQuizSessionParams& session, const TSessionQuestions& test,
                                                int32_t subject);

  // Administrator steps.
  // The groups and users lists with "groupname" as the current group.
  void ReturnAdminGroups(TNetStream* channel, const content::TRequestMap& map);
  // A change to the users and groups tables, made on the tables it is given.
  // It must read nothing but them and the request: it runs twice.
  using TTablesChange = std::function<void(content::TUsersList& users, content::TGroupsList& groups)>;
  // Makes the change so that it is stored or not made: first on copies of
  // the tables, whose files are then written where the change altered them
  // (users first), and only then on the tables themselves. Nullopt when it
  // was made; otherwise why not, in words for the administrator (and a line
  // on standard error), with the tables and their files as they were. While
  // a table could not be read whole, every change is refused.
  std::optional<std::string> ChangeTables(const TTablesChange& change);
  // Writes the tables whose text differs from the server's own. Throws
  // plat::FileError; a users file already written is then put back.
  void StoreChangedTables(const content::TUsersList& users, const content::TGroupsList& groups) const;
  // Says on standard error which table could not be read whole at opening.
  void ReportTableFaults() const;
  // Takes the group id out of every user's list.
  static void RemoveGroupFromUsers(content::TUsersList& users, int32_t id);

  // Statistics steps.
  // The pages' Modules selection list: the titles whose subjects have questions.
  std::string StatsModulesList() const;
  // Sends the graph, or the not-logged-in element without it.
  bool SendStatsGraph(TNetStream* channel, const content::TRequestMap& map, const std::optional<std::string>& graph);

  TSessionsList sessions_;
  plat::WindowTimers timers_;
  content::TUsersList users_;
  content::TGroupsList groups_;
  // Set when the content opened: see TTableFault.
  std::optional<TTableFault> users_fault_;
  std::optional<TTableFault> groups_fault_;
  TAdminSession admin_session_;
  // The content road; it owns the package reader (packed mode).
  TContentResolver content_;
  std::string content_folder_;
  std::string content_error_;
  std::string data_folder_;
  // Held while data_folder_ is this server's; see SetPath.
  plat::FolderLock data_lock_;
  // Why the data folder cannot be written, as opening found and said; "" when it can.
  std::string unwritable_reason_;
  bool data_folder_held_elsewhere_ = false;
  std::string project_id_;
  bool skip_start_page_ = false;
  std::string skip_start_page_login_name_;
  std::string user_name_;
  std::string project_title_;
  content::TStringList subject_titles_;
  TGradeTable grades_;
  TStatsCache stats_;
  TActionTable actions_;
  bool restore_flag_ = false;
  std::string restored_user_name_;
  std::string state_file_path_;
  // Last: destroyed first, while everything its connections call still exists.
  THttpServer http_;
};

}  // namespace server
