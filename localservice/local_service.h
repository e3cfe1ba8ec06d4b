#pragma once
// The local implementation of the Plumora service on 127.0.0.1: the API endpoints with real
// state, the web pages and, for tests only, a record of the latest requests and an admin endpoint
// through which tests configure answers and inject faults. Without test endpoints nothing is
// recorded and nothing under /test/ answers: any local process could otherwise read what the
// browser sent or change what it is told.
//
// Admin endpoints (query items as parameters), only with test endpoints:
//   GET  /test/requests             the recorded requests as JSON, at most kMaxRecordedRequests
//   GET  /test/state                books, long sessions, resources, logs, sessions as JSON
//   POST /test/reset                forget requests, faults, configuration and sessions
//   POST /test/fault?path=P&kind=K  queue a fault for endpoint path P (see fault_plan.h)
//   POST /test/config?name=value    configure answers (see service_state.cpp)
//   POST /test/login?sessionid=S    add a valid session id
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "localservice/fault_plan.h"
#include "localservice/service_state.h"

namespace httplib {
class ContentReader;
struct Request;
struct Response;
class Server;
}  // namespace httplib

namespace plb::localservice {

struct RecordedPart {
  std::string name;
  std::string filename;
  std::string content_type;
  uint64_t size = 0;
  std::string sha256;
  std::string bytes;  // small parts only
  bool is_file = false;
};

struct RecordedRequest {
  std::string method;
  std::string path;
  std::string query;
  std::string user_agent;
  std::string content_type;
  std::vector<RecordedPart> parts;
};

// The newest requests kept for /test/requests; older ones are forgotten.
inline constexpr size_t kMaxRecordedRequests = 1000;

class LocalService {
 public:
  // data_dir receives the uploaded files; www_dir holds the pages (empty: the built-in folder).
  // test_endpoints turns on the request record and the /test/ endpoints.
  LocalService(std::string data_dir, std::string www_dir, bool test_endpoints = false);
  ~LocalService();

  // Binds 127.0.0.1:port (0 picks a free port) and serves on a thread. Throws std::runtime_error.
  void Start(int port);
  void Stop();

  int Port() const { return port_; }
  std::string BaseUrl() const;  // "http://127.0.0.1:PORT/"
  FaultPlan& Faults() { return faults_; }
  ServiceState& State() { return *state_; }
  std::vector<RecordedRequest> Requests() const;

 private:
  void Routes();
  void RoutePages();
  void RouteAdmin();
  // An endpoint of the API: recorded, answered from the state, then given the fault queued for it.
  void ServeApi(const httplib::Request& request, httplib::Response& response, const httplib::ContentReader& reader);
  // The installer download (GET): recorded with its query, given the fault queued for it.
  void ServeInstaller(const httplib::Request& request, httplib::Response& response);
  // Applies the fault to the answer; true when it wrote the response itself.
  bool Misbehave(const Fault& fault, Answer& answer, httplib::Response& response);
  void Record(RecordedRequest request);
  // Waits ms, or less when the service stops.
  void Pause(int ms);
  std::string WwwDir() const;

  std::string data_dir_;
  std::string www_dir_;
  bool test_endpoints_ = false;
  int port_ = 0;
  std::unique_ptr<httplib::Server> server_;
  std::unique_ptr<ServiceState> state_;
  std::thread thread_;
  FaultPlan faults_;
  mutable std::mutex lock_;
  std::deque<RecordedRequest> requests_;
  std::mutex pause_lock_;
  std::condition_variable pause_wake_;
  std::atomic<bool> stopping_{false};
};

nlohmann::json RequestsJson(const std::vector<RecordedRequest>& requests);

}  // namespace plb::localservice
