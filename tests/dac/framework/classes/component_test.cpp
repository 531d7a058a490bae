#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/framework/classes/application.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/field.h"
#include "tests/dac/framework/error_text.h"
#include "tests/dac/framework/stub_dataset.h"

namespace dac {
namespace {

std::vector<std::string> journal;

// Writes its life into the journal; a child remembers a pointer to another
// component and drops it when told of its removal.
class Logged : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  explicit Logged(TComponent* owner, std::string tag = "?") : TComponent(owner), tag_(std::move(tag)) {}
  void Init() override {
    TComponent::Init();
    journal.push_back("init " + tag_);
    if (tag_ == "bad") throw EDatabaseError("init failed");
  }
  void Watch(TComponent* other) {
    watched = other;
    FreeNotification(other);
  }
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == watched) {
      journal.push_back(tag_ + " forgets " + static_cast<Logged*>(component)->tag_);
      watched = nullptr;
    }
  }
  TComponent* watched = nullptr;

 protected:
  void BeforeDestruction() override {
    journal.push_back("close " + tag_);
    if (tag_ == "throws") throw EDatabaseError("close failed");
  }
  std::string tag_;
};

DAC_DEFINE_CLASS(Logged, TComponent, ::dac::TComponentClassOf<Logged>)

// A class further down: Free must reach its BeforeDestruction.
class Derived : public Logged {
 public:
  using Logged::Logged;

 protected:
  void BeforeDestruction() override {
    journal.push_back("derived close " + tag_);
    Logged::BeforeDestruction();
  }
};

class Components : public ::testing::Test {
 protected:
  void SetUp() override { journal.clear(); }
};

TEST_F(Components, OwnersFreeTheirChildrenLatestFirst) {
  auto* form = MakeComponent<Logged>(nullptr, "form");
  auto* a = MakeComponent<Logged>(form, "a");
  MakeComponent<Derived>(form, "b");
  auto* c = MakeComponent<Logged>(form, "c");
  a->Watch(c);
  EXPECT_EQ(form->ComponentCount(), 3);
  journal.clear();

  form->Free();
  EXPECT_EQ(journal, (std::vector<std::string>{"close form", "close c", "a forgets c", "derived close b", "close b",
                                               "close a"}));
}

TEST_F(Components, AChildFreedFirstLeavesItsOwnerAndItsWatchers) {
  auto* form = MakeComponent<Logged>(nullptr, "form");
  auto* child = MakeComponent<Logged>(form, "child");
  auto* outsider = MakeComponent<Logged>(nullptr, "outsider");
  outsider->Watch(child);
  child->Free();
  EXPECT_EQ(form->ComponentCount(), 0);
  EXPECT_EQ(outsider->watched, nullptr);

  // Watching works both ways: freeing the watcher unlinks it from the watched.
  auto* other = MakeComponent<Logged>(nullptr, "other");
  outsider->Watch(other);
  outsider->Free();
  other->Free();
  form->Free();
  EXPECT_EQ(journal.back(), "close form");
}

TEST_F(Components, SiblingsHearOfARemovalThroughTheirOwner) {
  auto* form = MakeComponent<Logged>(nullptr, "form");
  auto* a = MakeComponent<Logged>(form, "a");
  auto* b = MakeComponent<Logged>(form, "b");
  a->watched = b;  // no free notification asked: the owner passes the news on
  b->Free();
  EXPECT_EQ(a->watched, nullptr);
  form->Free();
}

TEST_F(Components, FailuresInInitAndCloseLoseNothing) {
  auto* form = MakeComponent<Logged>(nullptr, "form");
  EXPECT_THROW(MakeComponent<Logged>(form, "bad"), EDatabaseError);
  EXPECT_EQ(form->ComponentCount(), 0);  // freed, no leak

  std::vector<std::string> reported;
  const TExceptionHandler previous = SetApplicationExceptionHandler(
      [&](TObject* sender, const std::exception& e) { reported.push_back(sender->ClassName() + ": " + e.what()); });
  MakeComponent<Logged>(form, "throws");
  form->Free();
  SetApplicationExceptionHandler(previous);
  EXPECT_EQ(reported, (std::vector<std::string>{"Logged: close failed"}));
}

TEST_F(Components, TheExceptionHookNeverLetsAnErrorOut) {
  std::vector<std::string> seen;
  const TExceptionHandler previous = SetApplicationExceptionHandler([&](TObject*, const std::exception& e) {
    seen.push_back(e.what());
    throw EDatabaseError("handler failed");
  });
  EXPECT_NO_THROW(ApplicationShowException(EDatabaseError("shown")));
  SetApplicationExceptionHandler(previous);
  EXPECT_EQ(seen, (std::vector<std::string>{"shown"}));
  EXPECT_EQ(ErrorOf(Abort), "Operation aborted");
  EXPECT_NO_THROW(ApplicationHandleException(nullptr, EAbort("silent")));  // the default ignores it
}

TEST_F(Components, NamesStatesAndErrorsNameTheComponent) {
  auto* form = MakeComponent<Logged>(nullptr, "form");
  auto* a = static_cast<Logged*>(static_cast<const TComponentClass&>(Logged::ClassInfo()).Create(form));
  EXPECT_EQ(journal.back(), "init ?");
  a->SetName("Query1");
  auto* b = MakeComponent<Logged>(form, "b");
  EXPECT_THROW(b->SetName("QUERY1"), EComponentError);
  EXPECT_EQ(form->FindComponent("query1"), a);

  form->SetDesigning(true);
  EXPECT_TRUE(b->ComponentState().Contains(csDesigning));
  a->BeginLoading();
  EXPECT_TRUE(a->ComponentState().Contains(csReading));
  a->EndReading();
  a->Loaded();
  EXPECT_TRUE((a->ComponentState() & TComponentState{csLoading, csReading}).Empty());

  EXPECT_EQ(ErrorOf([&] { DatabaseErrorFmt(a, "Field %s not found", "X"); }), "Query1: Field X not found");
  EXPECT_EQ(ErrorOf([&] { DatabaseError("Record not found", b); }), "Record not found");
  TStringList lines;
  EXPECT_EQ(ErrorOf([&] { lines.Assign(a); }), "Cannot assign Logged to TStringList");
  form->Free();
}

TEST_F(Components, ALookupDataSetFreedElsewhereIsForgotten) {
  auto* dataset = MakeComponent<StubDataSet>(nullptr);
  auto* lookups = MakeComponent<StubDataSet>(nullptr);
  auto* field = MakeComponent<TField>(nullptr);
  field->SetFieldName("L");
  field->SetDataSet(dataset);
  field->SetLookupDataSet(lookups);
  lookups->Free();
  EXPECT_EQ(field->LookupDataSet(), nullptr);
  dataset->Free();  // the field outlives its dataset, detached
  EXPECT_EQ(field->DataSet(), nullptr);
  field->Free();
}

}  // namespace
}  // namespace dac
