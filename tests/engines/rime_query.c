/* rime_query USER_DIR SHARED_DIR SCHEMA_ID [CODE...]: the candidates librime
 * offers for each code (codes from standard input, one a line, when none are
 * given), in the order Rime shows them, every page:
 *   CODE <TAB> INDEX <TAB> TEXT <TAB> COMMENT      ("CODE<TAB>-<TAB><TAB>": none)
 * The schema must already be compiled into USER_DIR/build (rime_deployer
 * --compile); nothing is deployed here. glog is kept to fatal messages. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <rime_api.h>

static void query(RimeApi* api, RimeSessionId s, const char* code) {
    RimeCandidateListIterator it;
    int n = 0;
    api->clear_composition(s);
    if (!api->simulate_key_sequence(s, code)) {
        fprintf(stderr, "rime_query: key sequence rejected: %s\n", code);
    }
    memset(&it, 0, sizeof it);
    if (api->candidate_list_begin(s, &it)) {
        while (api->candidate_list_next(&it)) {
            printf("%s\t%d\t%s\t%s\n", code, it.index, it.candidate.text,
                   it.candidate.comment ? it.candidate.comment : "");
            ++n;
        }
        api->candidate_list_end(&it);
    }
    if (n == 0) printf("%s\t-\t\t\n", code);
    api->clear_composition(s);
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s USER_DIR SHARED_DIR SCHEMA_ID [CODE...]\n", argv[0]);
        return 2;
    }
    RimeApi* api = rime_get_api();
    RIME_STRUCT(RimeTraits, traits);
    traits.shared_data_dir = argv[2];
    traits.user_data_dir = argv[1];
    traits.distribution_name = "rime_query";
    traits.distribution_code_name = "rime_query";
    traits.distribution_version = "1";
    traits.app_name = "rime.rime_query";
    traits.min_log_level = 3;
    traits.log_dir = getenv("RIME_QUERY_LOG_DIR") ? getenv("RIME_QUERY_LOG_DIR") : "/tmp";
    api->setup(&traits);
    api->initialize(&traits);
    RimeSessionId s = api->create_session();
    if (!s) {
        fprintf(stderr, "rime_query: cannot create session\n");
        return 1;
    }
    if (!api->select_schema(s, argv[3])) {
        fprintf(stderr, "rime_query: cannot select schema %s\n", argv[3]);
        return 1;
    }
    { /* check that the schema really got selected */
        RIME_STRUCT(RimeStatus, st);
        if (api->get_status(s, &st)) {
            if (!st.schema_id || strcmp(st.schema_id, argv[3]) != 0)
                fprintf(stderr, "rime_query: warning: active schema is %s\n", st.schema_id ? st.schema_id : "(null)");
            api->free_status(&st);
        }
    }
    if (argc > 4) {
        for (int i = 4; i < argc; ++i) query(api, s, argv[i]);
    } else {
        char line[1024];
        while (fgets(line, sizeof line, stdin)) {
            line[strcspn(line, "\r\n")] = 0;
            if (line[0]) query(api, s, line);
        }
    }
    api->destroy_session(s);
    api->finalize();
    return 0;
}
