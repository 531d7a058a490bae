// TConnectionHold: the references a dataset holds on its connection, each
// one user of it (BeginConnection(true) takes one, EndConnection gives it
// back): the running operation's, the open cursor's and the preparation's.
// Each is given back exactly once.
//
// One operation that runs the dataset's statement (open, execute, refresh)
// takes its reference in a Statement. It is given back by the command's
// report of a statement without rows (ReleaseAttempt), by the last fetched
// block (ReleaseAfterFetch), by the operation's failure, or at its end; a
// cursor still open on the server keeps it as the cursor's reference until
// its last row is fetched or it is closed. After a restored connection the
// new attempt holds a reference again (the connection counted one more user
// for it, or the old one was kept).
//
//   TConnectionHold::Statement statement(hold);  // BeginConnection(true)
//   statement.RunAttempts(connection, [&] { ... open ... }, false);
//   statement.Finish(true);  // a cursor left open keeps the reference
#pragma once

#include <functional>

namespace dac {

class TCustomDAConnection;
class TCustomDADataSet;

class TConnectionHold {
 public:
  explicit TConnectionHold(TCustomDADataSet& data_set) : data_set_(data_set) {}
  TConnectionHold(const TConnectionHold&) = delete;
  TConnectionHold& operator=(const TConnectionHold&) = delete;

  // The running operation's reference. Statements nest: an inner one (an
  // open inside an execute) is the running one until it ends.
  class Statement {
   public:
    explicit Statement(TConnectionHold& hold);
    ~Statement() { hold_.attempt_released_ = outer_; }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs attempt until it ends without EFailOver (of clExecute only, with
    // execute_only): each new attempt follows the connection's
    // RestoreAfterFailOver. Any other failure gives the reference back.
    void RunAttempts(TCustomDAConnection* used, const std::function<void()>& attempt, bool execute_only);
    // The end of the operation; keep_for_cursor: a cursor left open keeps the reference.
    void Finish(bool keep_for_cursor);
    // On failure: the operation's own error is the one to report.
    void GiveBackQuietly();

   private:
    void GiveBack();

    TConnectionHold& hold_;
    bool* outer_;
    bool released_ = false;
  };

  // The command reported a statement without rows: the running operation's
  // reference goes back.
  void ReleaseAttempt();
  // The last block is fetched: the running operation's reference goes
  // back, or else the open cursor's.
  void ReleaseAfterFetch();
  // The open cursor's reference goes back (the cursor is read again).
  void ReleaseCursor();
  // The cursor closes: whether it held a reference, which the caller gives
  // back once the cursor is closed.
  bool TakeCursor();

  // The preparation's reference: taken once prepared, given back once the
  // dataset is no longer prepared.
  void TakePrepared() { prepared_ = true; }
  bool Prepared() const { return prepared_; }
  void ReleasePrepared(bool still_prepared);

  // The connection closed and forgot its users: nothing is held any more.
  void Forget();

 private:
  // A cursor is open on the server that has rows still to come.
  bool CursorUnfinished() const;

  TCustomDADataSet& data_set_;
  // The running operation's flag "given back", none between operations.
  bool* attempt_released_ = nullptr;
  bool cursor_ = false;
  bool prepared_ = false;
};

}  // namespace dac
