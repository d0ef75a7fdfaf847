#include "layers/process_layers.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "common/file_names.h"
#include "layers/box_list.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

namespace layers {

void run_recipe_step(common::PolygonFiles& files, const RecipeStep& s) {
    switch (s.kind) {
        case RecipeStep::CLIP: clip_layers(files, s.op_or_amount, s.first, s.second, s.result); break;
        case RecipeStep::COPY: copy_layer(files, s.first, s.result); break;
        case RecipeStep::GROW: grow_layer(files, s.first, s.result, s.op_or_amount); break;
    }
}

namespace {

// The work of layer processing as tasks: the recipe steps, then the lifting
// of each body of the body list. A task waits for every earlier task that
// makes a body it reads, reads a body it makes, or makes the same body, so
// any order that respects these waits gives the result of the tasks run one
// after another.
// A recipe step, run on the polygon files.
struct StepTask {
    const RecipeStep* step;
};

// The lifting of body `body` of BODY_LIST into its boxes.
struct LiftTask {
    std::size_t body;
};

struct Task {
    std::variant<StepTask, LiftTask> work{StepTask{nullptr}};
    std::vector<std::string> reads;  // file names
    std::string makes;               // file name, empty for a lift
    std::vector<std::size_t> waits_for;
    std::vector<std::size_t> wanted_by;
    std::size_t chain = 1;  // tasks in the longest chain that starts here
};

class Plan {
public:
    Plan() {
        for (std::size_t k = 0; k < RECIPE_STEPS; ++k) {
            const RecipeStep& s = RECIPE[k];
            Task t;
            t.work = StepTask{&s};
            t.reads.push_back(common::polygon_file_name(s.first));
            if (s.kind == RecipeStep::CLIP) t.reads.push_back(common::polygon_file_name(s.second));
            t.makes = common::polygon_file_name(s.result);
            tasks.push_back(std::move(t));
        }
        for (std::size_t b = 0; BODY_LIST[b] != nullptr; ++b) {
            Task t;
            t.work = LiftTask{b};
            ++bodies;
            t.reads.push_back(common::polygon_file_name(BODY_LIST[b]));
            tasks.push_back(std::move(t));
        }
        for (std::size_t k = 0; k < tasks.size(); ++k) {
            for (std::size_t j = 0; j < k; ++j) {
                const Task& a = tasks[j];
                const Task& b = tasks[k];
                bool wait = false;
                for (const std::string& r : b.reads) wait = wait || r == a.makes;
                for (const std::string& r : a.reads) wait = wait || (!b.makes.empty() && r == b.makes);
                wait = wait || (!a.makes.empty() && a.makes == b.makes);
                if (!wait) continue;
                tasks[k].waits_for.push_back(j);
                tasks[j].wanted_by.push_back(k);
            }
        }
        for (const Task& t : tasks)
            for (const std::string& r : t.reads) ++readers[r];
        // Longest chains of waiting tasks, from the last task back.
        for (std::size_t k = tasks.size(); k-- > 0;) {
            tasks[k].chain = 1;
            for (std::size_t w : tasks[k].wanted_by) tasks[k].chain = std::max(tasks[k].chain, 1 + tasks[w].chain);
        }
    }

    std::vector<Task> tasks;
    std::map<std::string, int> readers;  // how many tasks read each file
    std::size_t bodies = 0;              // lift tasks
};

// The vertices of a file (of a text, about as many as its lines).
std::size_t vertices_of(const common::PolygonFile& f) { return f.is_text() ? f.text_size() / 8 : f.vertex_count(); }

std::size_t layout_vertices(const common::PolygonFiles& files) {
    std::size_t total = 0;
    for (const std::string& name : files.created()) {
        const common::PolygonFilePtr f = files.find(name);
        if (f != nullptr) total += vertices_of(*f);
    }
    return total;
}

class Runner {
public:
    Runner(common::PolygonFiles& files, const Plan& plan, std::size_t concurrent_vertices)
        : files_(files), plan_(plan), readers_(plan.readers), concurrent_vertices_(concurrent_vertices) {
        const std::size_t n = plan.tasks.size();
        waiting_.resize(n);
        for (std::size_t k = 0; k < n; ++k) waiting_[k] = plan.tasks[k].waits_for.size();
        lifted_.resize(plan.bodies);
        messages_.resize(plan.bodies);
    }

    void run(int threads) {
        threads_ = threads;
        std::vector<std::thread> helpers;
        for (int i = 1; i < threads; ++i) helpers.emplace_back([this] { work(); });
        work();
        for (std::thread& t : helpers) t.join();
        // The first step that failed ends the run, as on one thread.
        if (failure_) std::rethrow_exception(failure_);
    }

    std::vector<common::Box> box_list() {
        std::vector<common::Box> boxes;
        std::size_t total = 0;
        for (const auto& l : lifted_) total += l.size();
        boxes.reserve(total);
        for (auto& l : lifted_) {
            boxes.insert(boxes.end(), l.begin(), l.end());
            std::vector<common::Box>().swap(l);  // let each part go as soon as it is copied
        }
        for (const std::string& m : messages_) std::fputs(m.c_str(), stderr);
        return boxes;
    }

private:
    // Takes a task whose waits are over, runs it and marks it done, until
    // every task is done. Lifting a final body comes first, since it lets
    // the body go. On several threads, of the recipe steps the one that starts
    // the longest chain of steps still to come goes first, and of equal
    // chains the one with the most operand vertices: that keeps the second
    // thread busy with the rest while the long chain runs. On one thread the
    // steps run in the recipe's order, so that what a run leaves behind when
    // a step fails (the files kept so far) is what the recipe order leaves.
    // A step waits while it would hold too much memory beside the steps
    // running.
    // A step that fails (it throws) stops the taking of further tasks: each
    // thread finishes the task it runs, and run() passes the failure on.
    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (failure_) return;
            std::size_t next = plan_.tasks.size();
            std::size_t weight = 0;
            for (std::size_t k = 0; k < plan_.tasks.size(); ++k) {
                if (started(k) || waiting_[k] != 0) continue;
                const std::size_t w = weight_of(plan_.tasks[k]);
                if (running_weight_ != 0 && running_weight_ + w > concurrent_vertices_ && w > concurrent_vertices_ / 8)
                    continue;
                if (next == plan_.tasks.size() || goes_before(k, w, next, weight)) {
                    next = k;
                    weight = w;
                }
            }
            if (next == plan_.tasks.size()) {
                if (done_ == plan_.tasks.size()) return;
                ready_.wait(lock);
                continue;
            }
            started_.push_back(next);
            running_weight_ += weight;
            lock.unlock();
            std::exception_ptr failed;
            try {
                run_task(plan_.tasks[next]);
            } catch (...) {
                failed = std::current_exception();
            }
            lock.lock();
            if (failed) {
                if (!failure_) failure_ = failed;
                ready_.notify_all();
                return;
            }
            running_weight_ -= weight;
            finish(plan_.tasks[next]);
            ready_.notify_all();
        }
    }

    // Whether task a (of `a_weight` operand vertices) is to run before task
    // b; both are ready.
    bool goes_before(std::size_t a, std::size_t a_weight, std::size_t b, std::size_t b_weight) const {
        const Task& ta = plan_.tasks[a];
        const Task& tb = plan_.tasks[b];
        const bool a_lifts = std::holds_alternative<LiftTask>(ta.work);
        const bool b_lifts = std::holds_alternative<LiftTask>(tb.work);
        if (a_lifts != b_lifts) return a_lifts;
        if (threads_ > 1) {
            if (ta.chain != tb.chain) return ta.chain > tb.chain;
            if (a_weight != b_weight) return a_weight > b_weight;
        }
        return a < b;
    }

    // The operand vertices of a recipe step (a lift holds little beside its body).
    std::size_t weight_of(const Task& t) const {
        if (std::holds_alternative<LiftTask>(t.work)) return 0;
        std::size_t total = 0;
        for (const std::string& r : t.reads) {
            const common::PolygonFilePtr f = files_.find(r);
            if (f != nullptr) total += vertices_of(*f);
        }
        return total;
    }

    bool started(std::size_t k) const {
        for (std::size_t s : started_)
            if (s == k) return true;
        return false;
    }

    void run_task(const Task& t) {
        if (const StepTask* s = std::get_if<StepTask>(&t.work)) {
            run_recipe_step(files_, *s->step);
            return;
        }
        const std::size_t b = std::get<LiftTask>(t.work).body;
        const common::PolygonFilePtr file = files_.find(t.reads[0]);
        if (file != nullptr) lifted_[b] = lift_body(*file, lookup_layer_height(BODY_LIST[b]), messages_[b]);
    }

    // Called with the lock held.
    void finish(const Task& t) {
        ++done_;
        for (std::size_t k : t.wanted_by) --waiting_[k];
        // A body that no task will read any more is let go, unless the files
        // are kept (then they are on disk anyway, and the list is whole).
        for (const std::string& r : t.reads) {
            if (--readers_[r] == 0 && r != common::EMPTY_POLYGON_FILE && files_.trace() == nullptr) files_.release(r);
        }
    }

    common::PolygonFiles& files_;
    const Plan& plan_;
    std::map<std::string, int> readers_;
    std::vector<std::size_t> waiting_;
    std::vector<std::size_t> started_;
    std::size_t done_ = 0;
    const std::size_t concurrent_vertices_;
    std::size_t running_weight_ = 0;  // operand vertices of the steps running
    int threads_ = 1;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::exception_ptr failure_;  // the first failure of a task
    std::vector<std::vector<common::Box>> lifted_;
    std::vector<std::string> messages_;
};

}  // namespace

std::vector<common::Box> process_layers(common::PolygonFiles files, int threads, std::size_t concurrent_vertices,
                                        int most_threads) {
    if (threads <= 0)
        threads = (files.trace() == nullptr && layout_vertices(files) >= THREADED_LAYOUT_VERTICES && most_threads > 1)
                      ? most_threads
                      : 1;
    write_empty_polygon_file(files);
    static const Plan plan;
    Runner runner(files, plan, concurrent_vertices);
    runner.run(threads);
    std::vector<common::Box> boxes = runner.box_list();
    if (common::Trace* trace = files.trace()) trace->made(common::PREMASON_FILE, box_list_text(boxes));
    return boxes;
}

}  // namespace layers
